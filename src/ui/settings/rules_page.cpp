#include "ui/settings/rules_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "engine/policy/rule_store.h"
#include "engine/records/audit_log.h"
#include "ui/style/palette.h"
#include "ui/widgets/card.h"
#include "ui/widgets/flat_button.h"

namespace vorla::ui {

RulesPage::RulesPage(SettingsContext& context, QWidget* parent)
    : Page(context, QStringLiteral("Rules you taught it"),
           QStringLiteral("Approval fatigue is what kills a tool like this: click Allow enough "
                          "times without reading and the gate becomes worse than useless. Tick "
                          "\"always allow\" on a boring command and it stops asking. Destructive "
                          "commands can never be auto-approved — that valve is not negotiable."),
           parent) {
    rulesChanges_ = context_.rules.subscribe([this] { rebuild(); });
    auditChanges_ = context_.auditLog.subscribe([this] { rebuild(); });
    rebuild();
}

void RulesPage::rebuild() {
    clearBody();
    auto* figure = new Card(Palette::cardFill(), 14);
    auto* figureRow = new QHBoxLayout();
    figureRow->addWidget(textLabel(QString::number(context_.auditLog.clicksSaved()), Type::figure(),
                                   Palette::green(), figure));
    figureRow->addWidget(textLabel(QStringLiteral("clicks you didn't have to make today"),
                                   Type::caption(), Palette::text2(), figure),
                         1);
    figure->content()->addLayout(figureRow);
    body()->addWidget(figure);

    RuleStore& rules = context_.rules;
    if (rules.rules().empty()) {
        body()->addWidget(emptyBox(QStringLiteral(
            "No rules yet.\nTick \"always allow\" on an approval card to teach one.")));
        return;
    }
    for (const Rule& rule : rules.rules()) {
        auto* card = new Card(Palette::cardFill(), 10);
        auto* row = new QHBoxLayout();
        row->addWidget(
            textLabel(qstr(rule.key), Type::mono(13, QFont::Medium), Palette::text(), card), 1);
        const bool allows = rule.behavior == Behavior::allow;
        row->addWidget(textLabel(qstr(std::string(rawValue(rule.behavior))), Type::caption(),
                                 allows ? Palette::green() : Palette::pink(), card));
        row->addWidget(textLabel(
            QStringLiteral("auto-") + QString::number(rule.timesFired) + QStringLiteral("x"),
            Type::caption(), Palette::text3(), card));
        auto* forget = new FlatButton(QStringLiteral("Forget"), Palette::pink());
        forget->setParent(card);
        connect(forget, &QAbstractButton::clicked, card, [&rules, rule] { rules.remove(rule); });
        row->addWidget(forget);
        card->content()->addLayout(row);
        body()->addWidget(card);
    }
}

}  // namespace vorla::ui
