#include "ui/settings/setup_page.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "engine/session/session_store.h"
#include "engine/support/calendar.h"
#include "ui/settings/background.h"
#include "ui/style/palette.h"
#include "ui/widgets/card.h"
#include "ui/widgets/flat_button.h"

namespace vorla::ui {

namespace {

QString modifiedText(WallTime time) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count()).toString(QStringLiteral("d MMM yyyy, HH:mm"));
}

}  // namespace

SetupPage::SetupPage(SettingsContext& context, QWidget* parent)
    : Page(context, QStringLiteral("What's steering your agents"),
           QStringLiteral("The files every agent silently reads before it does anything. When one "
                          "starts behaving strangely, this is the first place to look — anything "
                          "edited today is flagged."),
           parent) {
    rebuild();
}

void SetupPage::appeared() {
    std::vector<std::string> projects;
    for (const auto& session : context_.store.sessions()) {
        projects.push_back(session->cwd());
    }
    loading_ = true;
    rebuild();
    const Clock* clock = &context_.clock;
    const std::uint64_t started = visit();
    runInBackground<std::vector<ContextFile>>(
        this, [projects, clock] { return ContextScanner::scan(projects, *clock); },
        [this, started](std::vector<ContextFile> files) {
            if (started != visit()) {
                return;
            }
            files_ = std::move(files);
            loading_ = false;
            rebuild();
        });
}

void SetupPage::rebuild() {
    clearBody();
    if (files_.empty()) {
        body()->addWidget(emptyBox(loading_ ? QStringLiteral("Looking for context files…")
                                            : QStringLiteral("No context files found yet.")));
        return;
    }
    for (const ContextFile& file : files_) {
        addRow(file);
    }
}

void SetupPage::addRow(const ContextFile& file) {
    auto* card = new Card(Palette::cardFill(), 10);
    auto* row = new QHBoxLayout();
    auto* texts = new QVBoxLayout();
    auto* top = new QHBoxLayout();
    top->addWidget(textLabel(qstr(file.name), Type::label(), Palette::text(), card));
    top->addWidget(textLabel(qstr(file.scope), Type::caption(), Palette::pink(), card));
    if (isSameDay(file.modified, context_.clock.now())) {
        top->addWidget(textLabel(QStringLiteral("CHANGED TODAY"), Type::mono(10, QFont::Bold),
                                 Palette::yellow(), card));
    }
    top->addStretch(1);
    texts->addLayout(top);
    texts->addWidget(textLabel(tildePath(file.path), Type::caption(), Palette::text2(), card));
    texts->addWidget(
        textLabel(qstr(file.sizeDisplay()) + QStringLiteral(" · ") + modifiedText(file.modified),
                  Type::caption(), Palette::text3(), card));
    row->addLayout(texts, 1);
    auto* reveal = new FlatButton(QStringLiteral("Reveal"), Palette::text2());
    reveal->setParent(card);
    connect(reveal, &QAbstractButton::clicked, this, [this, path = file.path] {
        if (context_.revealFile) {
            context_.revealFile(path);
        }
    });
    row->addWidget(reveal);
    card->content()->addLayout(row);
    body()->addWidget(card);
}

}  // namespace vorla::ui
