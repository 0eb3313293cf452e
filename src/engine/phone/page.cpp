#include "engine/phone/page.h"

#include "core/text.h"

namespace vorla::phone {

namespace {

constexpr std::string_view kStyle =
    ":root{color-scheme:dark}"
    "body{margin:0;padding:18px;background:#0a0a0b;color:#eee;"
    "font:15px/1.45 system-ui,-apple-system,sans-serif}"
    "h1{font-size:12px;letter-spacing:.14em;color:#666;margin:0 0 16px;font-family:ui-monospace,"
    "monospace}"
    ".card{background:#141416;border:1px solid #232326;border-radius:14px;padding:14px;"
    "margin-bottom:14px}"
    ".row{display:flex;flex-direction:row;justify-content:space-between;align-items:center}"
    ".tool{font:11px ui-monospace,monospace;color:#aaa;background:#232326;padding:3px 8px;"
    "border-radius:99px}"
    ".proj{font:11px ui-monospace,monospace;color:#777;margin-top:2px}"
    ".risk{font:11px ui-monospace,monospace;margin-top:8px}"
    "pre{background:#0d0d0e;border-radius:9px;padding:11px;overflow-x:auto;"
    "font:12px ui-monospace,monospace;color:#ddd;margin:10px 0 14px}"
    ".btns{display:flex;flex-direction:row;gap:10px}"
    "button{flex:1;padding:14px;border:none;border-radius:11px;font-size:15px;font-weight:600}"
    ".allow{background:#8ce88c;color:#06210a}"
    ".deny{background:#3a1e2a;color:#fa87bf}"
    ".empty{text-align:center;color:#555;margin-top:22vh;font:14px ui-monospace,monospace}"
    ".empty span{color:#333;font-size:12px}";

// The identifier as a single-quoted script string that goes into the query
// as it is. Gate identifiers are the bridge's UUIDs, but any local process can
// name one: percent-encoding leaves no quote, "&" or "=" to break out of the
// handler or add a parameter of its own.
std::string scriptString(std::string_view id) {
    static constexpr std::string_view kHex = "0123456789ABCDEF";
    std::string quoted = "'";
    for (char c : id) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved) {
            quoted += c;
        } else {
            quoted += '%';
            quoted += kHex[byte >> 4];
            quoted += kHex[byte & 0x0F];
        }
    }
    return quoted + "'";
}

// Agent text as the phone shows it: controls made visible, then escaped.
std::string shown(std::string_view text, LineBreaks lineBreaks = LineBreaks::show) {
    return escapeHTML(visibleText(text, lineBreaks));
}

std::string riskLine(const GateCard& gate) {
    std::string line = std::string(label(gate.risk)) + "  ";
    if (!gate.reasons.empty()) {
        std::string joined;
        for (const std::string& reason : gate.reasons) {
            joined += (joined.empty() ? "" : ", ") + reason;
        }
        line += " \u00b7 " + joined;
    }
    return shown(line);
}

}  // namespace

std::string escapeHTML(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string_view riskColour(Risk risk) {
    switch (risk) {
        case Risk::trivial:
        case Risk::normal:
            return "#8ce88c";
        case Risk::elevated:
            return "#fad96b";
        case Risk::critical:
            return "#fa87bf";
    }
    return "#8ce88c";
}

std::string card(const GateCard& gate) {
    std::string id = scriptString(gate.id);
    return "<div class=\"card\"><div class=\"row\"><b>" + shown(gate.agentName) +
           "</b><span class=\"tool\">" + shown(gate.toolName) +
           "</span></div><div class=\"proj\">" + shown(gate.project) +
           "</div><div class=\"risk\" style=\"color:" + std::string(riskColour(gate.risk)) + "\">" +
           riskLine(gate) + "</div><pre>" + shown(gate.detail, LineBreaks::keep) +
           "</pre><div class=\"btns\"><button class=\"deny\" onclick=\"d(" + id +
           ",'deny')\">Deny</button><button class=\"allow\" onclick=\"d(" + id +
           ",'allow')\">Allow</button></div></div>";
}

std::string page(const std::vector<GateCard>& gates, std::string_view token) {
    std::string html =
        "<!doctype html><html><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
        "<meta http-equiv=\"refresh\" content=\"3\"><title>Vorla Agents</title><style>";
    html += kStyle;
    html += "</style></head><body><h1>VORLA AGENTS</h1>";
    if (gates.empty()) {
        html +=
            "<div class=\"empty\">Nothing waiting.<br><span>Your agents are getting on with "
            "it.</span></div>";
    }
    for (const GateCard& gate : gates) {
        html += card(gate);
    }
    html += "<script>function d(id,a){fetch('/decide?t=";
    html += token;  // a-z0-9 only
    html +=
        "&id='+id+'&a='+a,{method:'POST'}).then(function(){location.reload()},function(){})}"
        "</script></body></html>";
    return html;
}

}  // namespace vorla::phone
