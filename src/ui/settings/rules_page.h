// Rules: the learned rules with their hit counts, and the clicks they saved
// today. Interface thread only.
#pragma once

#include "engine/support/observable.h"
#include "ui/settings/page.h"

namespace vorla::ui {

class RulesPage final : public Page {
    Q_OBJECT
  public:
    explicit RulesPage(SettingsContext& context, QWidget* parent = nullptr);

  private:
    void rebuild();

    Subscription rulesChanges_;
    Subscription auditChanges_;
};

}  // namespace vorla::ui
