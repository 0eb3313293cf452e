// The expanded island's header: "VORLA AGENTS", the number of live sessions,
// and the settings and quit buttons.
//
// Main thread only.
#pragma once

#include <QWidget>
#include <functional>

class QLabel;

namespace vorla::ui {

class PanelHeader final : public QWidget {
    Q_OBJECT
  public:
    PanelHeader(std::function<void()> onSettings, std::function<void()> onQuit,
                QWidget* parent = nullptr);

    void setActiveCount(std::size_t count);

  private:
    QLabel* count_;
};

}  // namespace vorla::ui
