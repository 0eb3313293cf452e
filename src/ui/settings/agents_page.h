// Agents: hook installation per agent, the approval level and the three
// behaviour switches. Interface thread only.
#pragma once

#include <functional>
#include <string>

#include "core/result.h"
#include "engine/support/observable.h"
#include "ui/settings/page.h"

namespace vorla::ui {

class AgentsPage final : public Page {
    Q_OBJECT
  public:
    explicit AgentsPage(SettingsContext& context, QWidget* parent = nullptr);

  private:
    void rebuild();
    void addAgentRows();
    void addApprovals();
    void addBehaviour();
    // Runs an installer action and shows its outcome under the agents.
    void act(const std::function<Result<std::string>()>& action);

    QString outcome_;

    Subscription installerChanges_;
    Subscription prefsChanges_;
};

}  // namespace vorla::ui
