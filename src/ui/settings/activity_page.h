// Activity: today's audit entries and the CSV export. Interface thread only.
#pragma once

#include "engine/support/observable.h"
#include "ui/settings/page.h"

namespace vorla::ui {

class AuditList;

class ActivityPage final : public Page {
    Q_OBJECT
  public:
    explicit ActivityPage(SettingsContext& context, QWidget* parent = nullptr);

    // Writes the CSV in the background, then shows where it went.
    void exportCSV();

  private:
    void rebuild();

    QString exportMessage_;
    Subscription auditChanges_;
};

}  // namespace vorla::ui
