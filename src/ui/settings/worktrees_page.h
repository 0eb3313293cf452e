// Worktrees: the git worktrees of the repositories live sessions work in,
// found in the background on appearing and on "Rescan". Interface thread only.
#pragma once

#include <vector>

#include "engine/repo/worktrees.h"
#include "ui/settings/page.h"

namespace vorla::ui {

class WorktreesPage final : public Page {
    Q_OBJECT
  public:
    explicit WorktreesPage(SettingsContext& context, QWidget* parent = nullptr);

    // Starts a scan of the live sessions' folders.
    void rescan();

  protected:
    void appeared() override;

  private:
    void rebuild();

    std::vector<Worktree> worktrees_;
    bool scanning_ = false;
};

}  // namespace vorla::ui
