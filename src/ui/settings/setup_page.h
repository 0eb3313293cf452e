// Setup: the instruction and settings files that steer the agents, found in
// the background each time the page appears. Interface thread only.
#pragma once

#include <vector>

#include "engine/usage/context_files.h"
#include "ui/settings/page.h"

namespace vorla::ui {

class SetupPage final : public Page {
    Q_OBJECT
  public:
    explicit SetupPage(SettingsContext& context, QWidget* parent = nullptr);

  protected:
    void appeared() override;

  private:
    void rebuild();
    void addRow(const ContextFile& file);

    std::vector<ContextFile> files_;
    bool loading_ = false;
};

}  // namespace vorla::ui
