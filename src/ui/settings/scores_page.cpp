#include "ui/settings/scores_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "engine/records/audit_log.h"
#include "engine/records/game.h"
#include "ui/style/palette.h"
#include "ui/widgets/card.h"
#include "ui/widgets/pixel_bar.h"

namespace vorla::ui {

namespace {

QString scoreLine(const AuditLog::Score& score) {
    QString line = QString::number(score.toolsRun) + QStringLiteral(" tools · ") +
                   QString::number(score.approved) + QStringLiteral(" approved · ") +
                   QString::number(score.denied) + QStringLiteral(" denied");
    if (score.autoAllowed >= 1) {
        line +=
            QStringLiteral(" · ") + QString::number(score.autoAllowed) + QStringLiteral(" auto");
    }
    return line;
}

QWidget* smallFigure(const QString& value, const QString& caption, const QColor& color,
                     QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    QLabel* number = textLabel(value, Type::mono(16, QFont::Bold), color, box);
    number->setAlignment(Qt::AlignRight);
    QLabel* under = textLabel(caption, Type::caption(), Palette::text3(), box);
    under->setAlignment(Qt::AlignRight);
    column->addWidget(number);
    column->addWidget(under);
    return box;
}

}  // namespace

ScoresPage::ScoresPage(SettingsContext& context, QWidget* parent)
    : Page(context, QStringLiteral("Today's scoreboard"),
           QStringLiteral("Which agent is actually earning its keep? Trust is the share of its "
                          "requests you approved — an agent you keep denying is one you don't "
                          "trust, and that's worth being able to see."),
           parent) {
    auditChanges_ = context_.auditLog.subscribe([this] { rebuild(); });
    gameChanges_ = context_.game.subscribe([this] { rebuild(); });
    rebuild();
}

void ScoresPage::rebuild() {
    clearBody();
    addTiles();
    addScoreboard();
    addAchievements();
}

void ScoresPage::addTiles() {
    const Game& game = context_.game;
    auto* row = new QHBoxLayout();
    row->addWidget(tile(QStringLiteral("COINS"), QString::number(game.coins())));
    row->addWidget(tile(QStringLiteral("STREAK"), QString::number(game.streak())));
    row->addWidget(tile(QStringLiteral("BEST"), QString::number(game.bestStreak())));
    row->addWidget(tile(QStringLiteral("BOSSES"), QString::number(game.bossesBeaten())));
    body()->addLayout(row);
}

void ScoresPage::addScoreboard() {
    const std::vector<AuditLog::Score> scores = context_.auditLog.scoreboard();
    if (scores.empty()) {
        body()->addWidget(emptyBox(QStringLiteral("No agent activity yet today.")));
        return;
    }
    int position = 0;
    for (const AuditLog::Score& score : scores) {
        auto* card = new Card(Palette::cardFill(), 10);
        auto* row = new QHBoxLayout();
        row->addWidget(textLabel(QStringLiteral("#") + QString::number(++position),
                                 Type::mono(16, QFont::Bold), Palette::yellow(), card));
        auto* texts = new QVBoxLayout();
        texts->addWidget(textLabel(qstr(score.displayName), Type::label(), Palette::text(), card));
        texts->addWidget(textLabel(scoreLine(score), Type::caption(), Palette::text2(), card));
        const int trust = score.trustPercent();
        auto* trustBar = new PixelBar(card);
        trustBar->setFraction(trust / 100.0);
        trustBar->setTint(trust >= 80 ? Palette::green() : Palette::yellow());
        trustBar->setSegments(20);
        texts->addWidget(trustBar);
        row->addLayout(texts, 1);
        row->addWidget(smallFigure(QString::number(trust) + QStringLiteral("%"),
                                   QStringLiteral("trust"),
                                   trust >= 80 ? Palette::green() : Palette::yellow(), card));
        row->addWidget(smallFigure(QString::number(score.risky), QStringLiteral("risky"),
                                   score.risky > 0 ? Palette::pink() : Palette::text2(), card));
        card->content()->addLayout(row);
        body()->addWidget(card);
    }
}

void ScoresPage::addAchievements() {
    body()->addSpacing(12);
    body()->addWidget(textLabel(QStringLiteral("Achievements"), Type::heading(), Palette::text3()));
    for (const Achievement& achievement : context_.game.achievements()) {
        auto* card = new Card(Palette::cardFill(), 10);
        auto* row = new QHBoxLayout();
        auto* texts = new QVBoxLayout();
        texts->addWidget(textLabel(qstr(achievement.name), Type::label(),
                                   achievement.unlocked() ? Palette::text() : Palette::text3(),
                                   card));
        texts->addWidget(
            textLabel(qstr(achievement.detail), Type::caption(), Palette::text3(), card));
        row->addLayout(texts, 1);
        if (achievement.unlocked()) {
            row->addWidget(
                textLabel(QStringLiteral("done"), Type::caption(), Palette::green(), card));
        }
        card->content()->addLayout(row);
        body()->addWidget(card);
    }
}

}  // namespace vorla::ui
