#include "ui/settings/improve_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/policy/rule_store.h"
#include "engine/records/audit_log.h"
#include "engine/support/clock.h"
#include "ui/settings/background.h"
#include "ui/style/palette.h"
#include "ui/widgets/card.h"
#include "ui/widgets/flat_button.h"

namespace vorla::ui {

ImprovePage::ImprovePage(SettingsContext& context, QWidget* parent)
    : Page(context, QStringLiteral("Rules you could teach it"),
           QStringLiteral("Approvals you keep re-granting. Anything you've ever denied is left "
                          "alone, and destructive commands are never suggested — that valve "
                          "doesn't open, whatever the count says."),
           parent) {
    rulesChanges_ = context_.rules.subscribe([this] { rebuild(); });
    rebuild();
}

void ImprovePage::appeared() {
    loading_ = true;
    rebuild();
    // The worker gets values only: the log itself is the interface thread's.
    const std::string directory = context_.auditLog.directory();
    const WallTime now = context_.clock.now();
    const std::uint64_t started = visit();
    runInBackground<std::vector<Suggestion>>(
        this, [directory, now] { return ImproveEngine::mine(readRecentAudit(directory, now, 7)); },
        [this, started](std::vector<Suggestion> mined) {
            if (started != visit()) {
                return;
            }
            suggestions_ = std::move(mined);
            loading_ = false;
            rebuild();
        });
}

void ImprovePage::rebuild() {
    clearBody();
    const std::vector<Rule>& rules = context_.rules.rules();
    int shown = 0;
    for (const Suggestion& suggestion : suggestions_) {
        const bool taught = std::any_of(rules.begin(), rules.end(),
                                        [&](const Rule& r) { return r.key == suggestion.key; });
        if (!taught && !dismissed_.contains(suggestion.key)) {
            addCard(suggestion);
            ++shown;
        }
    }
    if (shown == 0) {
        body()->addWidget(emptyBox(
            loading_ ? QStringLiteral("Reading the last 7 days…")
                     : QStringLiteral("Nothing to suggest yet. Approve the same boring command a "
                                      "few times and it'll turn up here.")));
    }
}

void ImprovePage::addCard(const Suggestion& suggestion) {
    auto* card = new Card(Palette::cardFill(), 12);
    auto* row = new QHBoxLayout();
    auto* texts = new QVBoxLayout();
    texts->addWidget(textLabel(qstr(suggestion.title), Type::label(), Palette::text(), card));
    texts->addWidget(textLabel(qstr(suggestion.reason), Type::caption(), Palette::text2(), card));
    row->addLayout(texts, 1);
    auto* saves = new QVBoxLayout();
    QLabel* count = textLabel(QString::number(suggestion.approvals), Type::mono(16, QFont::Bold),
                              Palette::green(), card);
    count->setAlignment(Qt::AlignRight);
    QLabel* unit = textLabel(QStringLiteral("clicks"), Type::caption(), Palette::text3(), card);
    unit->setAlignment(Qt::AlignRight);
    saves->addWidget(count);
    saves->addWidget(unit);
    row->addLayout(saves);
    card->content()->addLayout(row);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    auto* dismiss = new FlatButton(QStringLiteral("Dismiss"), Palette::text2());
    auto* teach =
        new FlatButton(QStringLiteral("Teach it"), Palette::green(), FlatButton::Fill::filled);
    dismiss->setParent(card);
    teach->setParent(card);
    const std::string key = suggestion.key;
    connect(dismiss, &QAbstractButton::clicked, this, [this, key] {
        dismissed_.insert(key);
        rebuild();
    });
    RuleStore& rules = context_.rules;
    connect(teach, &QAbstractButton::clicked, this,
            [&rules, tool = suggestion.tool, detail = suggestion.detail] {
                rules.add(tool, detail, Behavior::allow);
            });
    buttons->addWidget(dismiss);
    buttons->addWidget(teach);
    card->content()->addLayout(buttons);
    body()->addWidget(card);
}

}  // namespace vorla::ui
