#include "ui/settings/worktrees_page.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "engine/session/session_store.h"
#include "ui/settings/background.h"
#include "ui/style/palette.h"
#include "ui/widgets/card.h"
#include "ui/widgets/flat_button.h"

namespace vorla::ui {

WorktreesPage::WorktreesPage(SettingsContext& context, QWidget* parent)
    : Page(context, QStringLiteral("Worktrees"),
           QStringLiteral("Running several agents at once only works if they aren't standing on "
                          "each other — one worktree per task. Git knows your worktrees but not "
                          "that an agent is in one; the agent knows its directory but not that "
                          "it's a worktree. Vorla Agents holds both."),
           parent) {
    auto* button = new FlatButton(QStringLiteral("Rescan"), Palette::text2());
    connect(button, &QAbstractButton::clicked, this, &WorktreesPage::rescan);
    setHeadAccessory(button);
    rebuild();
}

void WorktreesPage::appeared() {
    rescan();
}

void WorktreesPage::rescan() {
    std::vector<WorktreeSession> sessions;
    for (const auto& session : context_.store.sessions()) {
        sessions.push_back({session->cwd(), session->source(), session->lastSeen()});
    }
    scanning_ = true;
    rebuild();
    const std::uint64_t started = visit();
    runInBackground<std::vector<Worktree>>(
        this, [sessions] { return WorktreeScanner::discover(sessions); },
        [this, started](std::vector<Worktree> found) {
            if (started != visit()) {
                return;
            }
            worktrees_ = std::move(found);
            scanning_ = false;
            rebuild();
        });
}

void WorktreesPage::rebuild() {
    clearBody();
    if (worktrees_.empty()) {
        body()->addWidget(emptyBox(
            scanning_ ? QStringLiteral("Looking for worktrees…")
                      : QStringLiteral(
                            "No worktrees found. Start an agent inside a git repo, then rescan.")));
        return;
    }
    for (const Worktree& tree : worktrees_) {
        auto* card = new Card(Palette::cardFill(), 10);
        auto* row = new QHBoxLayout();
        auto* texts = new QVBoxLayout();
        auto* top = new QHBoxLayout();
        top->addWidget(textLabel(qstr(tree.branch), Type::label(), Palette::text(), card));
        top->addWidget(textLabel(qstr(tree.repo), Type::caption(), Palette::text3(), card));
        top->addStretch(1);
        texts->addLayout(top);
        texts->addWidget(textLabel(tildePath(tree.path), Type::caption(), Palette::text2(), card));
        row->addLayout(texts, 1);
        if (tree.activeAgent) {
            row->addWidget(
                textLabel(qstr(*tree.activeAgent), Type::caption(), Palette::pink(), card));
        }
        card->content()->addLayout(row);
        body()->addWidget(card);
    }
}

}  // namespace vorla::ui
