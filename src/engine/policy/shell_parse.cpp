#include "engine/policy/shell_parse.h"

#include <array>
#include <cctype>

namespace vorla {

namespace {

// Deeper nesting of $( ), ( ) or backticks than any real command needs; past
// it the line is reported incomplete instead of recursing further.
constexpr int kMaxDepth = 24;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

bool isMeta(char c) {
    return isBlank(c) || c == '|' || c == '&' || c == ';' || c == '(' || c == ')' || c == '<' ||
           c == '>' || c == '\n';
}

bool isNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (isDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Words that open or close a compound command when they stand where a
// command name would.
bool isKeyword(std::string_view word) {
    constexpr std::array<std::string_view, 13> kKeywords = {
        "{", "}", "!", "if", "then", "else", "elif", "fi", "do", "done", "while", "until", "in"};
    for (std::string_view keyword : kKeywords) {
        if (word == keyword) {
            return true;
        }
    }
    return false;
}

struct PendingHeredoc {
    std::string delimiter;
    bool stripTabs = false;
    bool expands = false;
};

class Parser {
  public:
    Parser(std::string_view text, ShellScript& out, int depth)
        : s_(text), out_(out), depth_(depth) {}

    // Reads commands until the end, or until the ')' that closes a subshell
    // or substitution when `closer` is set.
    void parseList(bool closer, bool substituted);

    // The body of an unquoted here-document: only substitutions matter.
    void scanExpansions();

  private:
    [[nodiscard]] bool atEnd() const { return i_ >= s_.size(); }
    [[nodiscard]] char peek(std::size_t ahead = 0) const {
        return i_ + ahead < s_.size() ? s_[i_ + ahead] : '\0';
    }
    void fail() { out_.complete = false; }
    void abandon() {
        fail();
        i_ = s_.size();
    }

    void skipBlanks();
    void finish(SimpleCommand& command, bool piped);
    void readHeredocs();
    void readRedirect(SimpleCommand& command);
    [[nodiscard]] bool startsAssignment() const;
    ShellWord readWord();
    void readSingle(ShellWord& word);
    void readDouble(ShellWord& word);
    void readAnsiC(ShellWord& word);
    void readDollar(ShellWord& word);
    void readBacktick(ShellWord& word);
    void readSubstitution(ShellWord& word, std::string_view marker);
    void skipBalanced(char open, char close, ShellWord& word);

    std::string_view s_;
    std::size_t i_ = 0;
    ShellScript& out_;
    int depth_;
    bool header_ = false;  // words of a `for`/`select`/`function` header, not a command
    bool danglingPipe_ = false;
    int pipelines_ = 0;
    std::vector<PendingHeredoc> heredocs_;
};

void Parser::skipBlanks() {
    while (!atEnd()) {
        char c = peek();
        if (isBlank(c)) {
            ++i_;
        } else if (c == '\\' && peek(1) == '\n') {
            i_ += 2;
        } else if (c == '#') {
            while (!atEnd() && peek() != '\n') {
                ++i_;
            }
        } else {
            return;
        }
    }
}

void Parser::finish(SimpleCommand& command, bool piped) {
    const bool substituted = command.substituted;
    const bool any =
        !command.words.empty() || !command.assignments.empty() || !command.redirects.empty();
    if (any && !header_) {
        command.piped = piped;
        out_.commands.push_back(std::move(command));
        if (!piped && depth_ == 0 && ++pipelines_ > 1) {
            out_.compound = true;
        }
        danglingPipe_ = piped;  // a line feed may follow a | before the next command
    }
    header_ = false;
    command = SimpleCommand{};
    command.substituted = substituted;
}

void Parser::parseList(bool closer, bool substituted) {
    SimpleCommand command;
    command.substituted = substituted;
    while (true) {
        skipBlanks();
        if (atEnd()) {
            finish(command, false);
            if (closer || danglingPipe_) {
                fail();
            }
            return;
        }
        const char c = peek();
        if (c == ')') {
            ++i_;
            if (closer) {
                finish(command, false);
                return;
            }
            fail();
        } else if (c == '\n') {
            ++i_;
            finish(command, false);
            readHeredocs();
        } else if (c == ';') {
            if (peek(1) == ';') {
                fail();  // a `case` branch: not followed here
                ++i_;
            }
            ++i_;
            finish(command, false);
        } else if ((c == '&' && peek(1) == '>') || ((c == '<' || c == '>') && peek(1) != '(')) {
            readRedirect(command);
        } else if (c == '&') {
            i_ += peek(1) == '&' ? 2 : 1;
            finish(command, false);
        } else if (c == '|') {
            const bool orList = peek(1) == '|';
            i_ += (orList || peek(1) == '&') ? 2 : 1;
            finish(command, !orList);
        } else if (c == '(') {
            ++i_;
            out_.compound = true;
            std::size_t after = i_;
            while (after < s_.size() && isBlank(s_[after])) {
                ++after;
            }
            if (command.words.size() == 1 && command.redirects.empty() && after < s_.size() &&
                s_[after] == ')') {
                // name() { ... }: a function definition; its body is read as a group.
                i_ = after + 1;
                command = SimpleCommand{};
                command.substituted = substituted;
            } else if (!command.words.empty() || depth_ >= kMaxDepth) {
                abandon();
            } else {
                ++depth_;
                parseList(true, substituted);
                --depth_;
            }
        } else if (isDigit(c)) {
            std::size_t j = i_;
            while (j < s_.size() && isDigit(s_[j])) {
                ++j;
            }
            if (j < s_.size() && (s_[j] == '<' || s_[j] == '>') &&
                (j + 1 >= s_.size() || s_[j + 1] != '(')) {
                i_ = j;
                readRedirect(command);
            } else {
                command.words.push_back(readWord());
            }
        } else if (command.words.empty() && startsAssignment()) {
            command.assignments.push_back(readWord());
            if (!atEnd() && peek() == '(') {
                abandon();  // NAME=(array): not followed here
            }
        } else {
            ShellWord word = readWord();
            if (command.words.empty() && !word.quoted && command.assignments.empty()) {
                if (word.text == "for" || word.text == "select" || word.text == "function") {
                    out_.compound = true;
                    header_ = true;
                    continue;
                }
                if (word.text == "case") {
                    fail();
                    header_ = true;
                    continue;
                }
                if (isKeyword(word.text)) {
                    if (word.text != "!") {
                        out_.compound = true;
                    }
                    continue;
                }
            }
            command.words.push_back(std::move(word));
        }
    }
}

void Parser::readHeredocs() {
    std::vector<PendingHeredoc> pending;
    pending.swap(heredocs_);
    for (const PendingHeredoc& doc : pending) {
        const std::size_t bodyStart = i_;
        std::size_t bodyEnd = s_.size();
        while (!atEnd()) {
            std::size_t lineEnd = s_.find('\n', i_);
            if (lineEnd == std::string_view::npos) {
                lineEnd = s_.size();
            }
            std::string_view line = s_.substr(i_, lineEnd - i_);
            if (doc.stripTabs) {
                line.remove_prefix(std::min(line.find_first_not_of('\t'), line.size()));
            }
            const std::size_t lineStart = i_;
            i_ = std::min(lineEnd + 1, s_.size());
            if (line == doc.delimiter) {
                bodyEnd = lineStart;
                break;
            }
        }
        std::string_view body = s_.substr(bodyStart, bodyEnd - bodyStart);
        if (doc.expands && body.find_first_of("$`") != std::string_view::npos) {
            Parser inner(body, out_, depth_ + 1);
            inner.scanExpansions();
        }
    }
}

void Parser::readRedirect(SimpleCommand& command) {
    constexpr std::array<std::string_view, 12> kOps = {"&>>", "<<<", "<<-", "&>", ">>", ">|",
                                                       ">&",  "<&",  "<>",  "<<", "<",  ">"};
    ShellRedirect redirect;
    for (std::string_view op : kOps) {
        if (s_.substr(i_).starts_with(op)) {
            redirect.op = std::string(op);
            i_ += op.size();
            break;
        }
    }
    skipBlanks();
    if (atEnd() || (isMeta(peek()) && !((peek() == '<' || peek() == '>') && peek(1) == '('))) {
        fail();
        return;
    }
    redirect.target = readWord();
    if (redirect.op == "<<" || redirect.op == "<<-") {
        heredocs_.push_back(
            PendingHeredoc{redirect.target.text, redirect.op == "<<-", !redirect.target.quoted});
    }
    command.redirects.push_back(std::move(redirect));
}

bool Parser::startsAssignment() const {
    if (!isNameStart(peek())) {
        return false;
    }
    std::size_t j = i_;
    while (j < s_.size() && isNameChar(s_[j])) {
        ++j;
    }
    if (j < s_.size() && s_[j] == '+') {
        ++j;
    }
    return j < s_.size() && s_[j] == '=';
}

ShellWord Parser::readWord() {
    ShellWord word;
    while (!atEnd()) {
        const char c = peek();
        if ((c == '<' || c == '>') && peek(1) == '(' && word.text.empty()) {
            ++i_;
            readSubstitution(word, c == '<' ? "<()" : ">()");
            continue;
        }
        if (isMeta(c)) {
            break;
        }
        switch (c) {
            case '\\':
                if (peek(1) == '\n') {
                    i_ += 2;
                } else if (i_ + 1 < s_.size()) {
                    word.text += peek(1);
                    word.quoted = true;
                    i_ += 2;
                } else {
                    ++i_;
                }
                break;
            case '\'':
                readSingle(word);
                break;
            case '"':
                readDouble(word);
                break;
            case '$':
                readDollar(word);
                break;
            case '`':
                readBacktick(word);
                break;
            case '*':
            case '?':
            case '[':
                word.globs = true;
                word.text += c;
                ++i_;
                break;
            default:
                word.text += c;
                ++i_;
        }
    }
    return word;
}

void Parser::readSingle(ShellWord& word) {
    word.quoted = true;
    const std::size_t close = s_.find('\'', i_ + 1);
    if (close == std::string_view::npos) {
        abandon();
        return;
    }
    word.text.append(s_.substr(i_ + 1, close - i_ - 1));
    i_ = close + 1;
}

void Parser::readDouble(ShellWord& word) {
    word.quoted = true;
    ++i_;
    while (!atEnd()) {
        const char c = peek();
        if (c == '"') {
            ++i_;
            return;
        }
        if (c == '\\') {
            const char next = peek(1);
            if (next == '\n') {
                i_ += 2;
            } else if (next == '$' || next == '`' || next == '"' || next == '\\') {
                word.text += next;
                i_ += 2;
            } else {
                word.text += c;
                ++i_;
            }
        } else if (c == '$') {
            readDollar(word);
        } else if (c == '`') {
            readBacktick(word);
        } else {
            word.text += c;
            ++i_;
        }
    }
    fail();  // no closing quote
}

void Parser::scanExpansions() {
    ShellWord ignored;
    while (!atEnd()) {
        const char c = peek();
        if (c == '\\') {
            i_ += 2;
        } else if (c == '$') {
            readDollar(ignored);
        } else if (c == '`') {
            readBacktick(ignored);
        } else {
            ++i_;
        }
        ignored.text.clear();
    }
}

void Parser::readAnsiC(ShellWord& word) {
    word.quoted = true;
    i_ += 2;  // $'
    while (!atEnd()) {
        const char c = peek();
        if (c == '\'') {
            ++i_;
            return;
        }
        if (c != '\\') {
            word.text += c;
            ++i_;
            continue;
        }
        const char e = peek(1);
        i_ += 2;
        switch (e) {
            case 'n':
                word.text += '\n';
                break;
            case 't':
                word.text += '\t';
                break;
            case 'r':
                word.text += '\r';
                break;
            case 'a':
                word.text += '\a';
                break;
            case 'b':
                word.text += '\b';
                break;
            case 'e':
            case 'E':
                word.text += '\x1b';
                break;
            case 'f':
                word.text += '\f';
                break;
            case 'v':
                word.text += '\v';
                break;
            case 'x': {
                int value = 0;
                int digits = 0;
                while (digits < 2 && hexValue(peek()) >= 0) {
                    value = value * 16 + hexValue(peek());
                    ++i_;
                    ++digits;
                }
                word.text += digits > 0 ? static_cast<char>(value) : 'x';
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    int value = e - '0';
                    for (int digits = 1; digits < 3 && peek() >= '0' && peek() <= '7'; ++digits) {
                        value = value * 8 + (peek() - '0');
                        ++i_;
                    }
                    word.text += static_cast<char>(value & 0xff);
                } else if (e == '\\' || e == '\'' || e == '"' || e == '?') {
                    word.text += e;
                } else {
                    // \u, \c and unknown escapes: kept as written, so the word
                    // never reads as a known command name.
                    word.text += '\\';
                    word.text += e;
                }
        }
    }
    fail();
}

void Parser::readDollar(ShellWord& word) {
    const char next = peek(1);
    if (next == '\'') {
        readAnsiC(word);
        return;
    }
    if (next == '"') {
        ++i_;
        readDouble(word);
        return;
    }
    if (next == '(' && peek(2) == '(') {
        // Arithmetic: harmless unless it hides a substitution.
        word.expands = true;
        i_ += 1;
        ShellWord inner;
        skipBalanced('(', ')', inner);
        if (inner.text.find_first_of("$`") != std::string::npos) {
            fail();
        }
        word.text += "$" + inner.text;
        return;
    }
    if (next == '(') {
        i_ += 2;
        readSubstitution(word, "$()");
        return;
    }
    if (next == '{') {
        word.expands = true;
        ++i_;
        ShellWord inner;
        skipBalanced('{', '}', inner);
        if (inner.text.find("$(") != std::string::npos ||
            inner.text.find('`') != std::string::npos) {
            fail();
        }
        word.text += "$" + inner.text;
        return;
    }
    if (isNameStart(next)) {
        word.expands = true;
        word.text += '$';
        ++i_;
        while (!atEnd() && isNameChar(peek())) {
            word.text += peek();
            ++i_;
        }
        return;
    }
    if (isDigit(next) ||
        (next != '\0' && std::string_view("@*#?$!-").find(next) != std::string_view::npos)) {
        word.expands = true;
        word.text += '$';
        word.text += next;
        i_ += 2;
        return;
    }
    word.text += '$';
    ++i_;
}

// At `open`: copies everything up to the matching `close` into word.text,
// delimiters included, skipping quoted parts.
void Parser::skipBalanced(char open, char close, ShellWord& word) {
    int level = 0;
    while (!atEnd()) {
        const char c = peek();
        if (c == '\\' && i_ + 1 < s_.size()) {
            word.text += s_.substr(i_, 2);
            i_ += 2;
            continue;
        }
        if (c == '\'') {
            const std::size_t end = s_.find('\'', i_ + 1);
            if (end == std::string_view::npos) {
                abandon();
                return;
            }
            word.text += s_.substr(i_, end + 1 - i_);
            i_ = end + 1;
            continue;
        }
        word.text += c;
        ++i_;
        if (c == open) {
            ++level;
        } else if (c == close && --level == 0) {
            return;
        }
    }
    fail();
}

void Parser::readBacktick(ShellWord& word) {
    ++i_;
    std::string inner;
    while (!atEnd() && peek() != '`') {
        if (peek() == '\\' && (peek(1) == '`' || peek(1) == '\\' || peek(1) == '$')) {
            inner += peek(1);
            i_ += 2;
        } else {
            inner += peek();
            ++i_;
        }
    }
    if (atEnd()) {
        fail();
    } else {
        ++i_;
    }
    word.expands = true;
    word.text += "``";
    out_.substitutes = true;
    if (depth_ >= kMaxDepth) {
        abandon();
        return;
    }
    Parser nested(inner, out_, depth_ + 1);
    nested.parseList(false, true);
}

// After the opening "$(", "<(" or ">(": the commands up to the matching ')'.
void Parser::readSubstitution(ShellWord& word, std::string_view marker) {
    word.expands = true;
    word.text += marker;
    out_.substitutes = true;
    if (depth_ >= kMaxDepth) {
        abandon();
        return;
    }
    if (marker != "$()") {
        ++i_;  // the '(' after '<' or '>'
    }
    ++depth_;
    const bool header = header_;
    const bool dangling = danglingPipe_;
    header_ = false;
    parseList(true, true);
    header_ = header;
    danglingPipe_ = dangling;
    --depth_;
}

}  // namespace

ShellScript parseShell(std::string_view text) {
    ShellScript script;
    Parser parser(text, script, 0);
    parser.parseList(false, false);
    return script;
}

}  // namespace vorla
