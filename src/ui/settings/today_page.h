// Today: every session that ran today, by project, on the day's time axis,
// with the wall-clock time agents were active and a diff peek per project.
// Interface thread only.
#pragma once

#include <QTimer>
#include <map>
#include <string>

#include "engine/support/observable.h"
#include "ui/settings/page.h"

namespace vorla::ui {

class ProjectTrack;

class TodayPage final : public Page {
    Q_OBJECT
  public:
    explicit TodayPage(SettingsContext& context, QWidget* parent = nullptr);
    ~TodayPage() override;

    [[nodiscard]] ProjectTrack* track(const std::string& project) const;

  protected:
    void appeared() override;
    void hideEvent(QHideEvent* event) override;

  private:
    void rebuild();
    // The live session's folder for a project, if one runs.
    [[nodiscard]] std::optional<std::string> liveFolder(const std::string& project) const;

    std::map<std::string, ProjectTrack*> tracks_;
    QTimer clock_;
    Subscription auditChanges_;
    Subscription storeChanges_;
};

// "9a", "12p": an hour of the day as the axis labels it.
[[nodiscard]] QString hourLabel(int hour);

}  // namespace vorla::ui
