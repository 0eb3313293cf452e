// Scores: the game's figures, today's scoreboard per agent and the
// achievements. Interface thread only.
#pragma once

#include "engine/support/observable.h"
#include "ui/settings/page.h"

namespace vorla::ui {

class ScoresPage final : public Page {
    Q_OBJECT
  public:
    explicit ScoresPage(SettingsContext& context, QWidget* parent = nullptr);

  private:
    void rebuild();
    void addTiles();
    void addScoreboard();
    void addAchievements();

    Subscription auditChanges_;
    Subscription gameChanges_;
};

}  // namespace vorla::ui
