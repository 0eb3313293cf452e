// The expanded island's list of live sessions, one row each in the store's
// order, or "No agents running".
//
// Main thread only.
#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "engine/session/session.h"

class QLabel;
class QVBoxLayout;

namespace vorla::ui {

class SessionRow;

class SessionList final : public QWidget {
    Q_OBJECT
  public:
    explicit SessionList(QWidget* parent = nullptr);

    // Rebuilds the rows when the list changed; rows follow their session.
    void show(const std::vector<std::shared_ptr<Session>>& sessions);

  private:
    QVBoxLayout* rows_;
    QLabel* empty_;
    std::vector<std::shared_ptr<Session>> shown_;
    std::vector<SessionRow*> rowWidgets_;
};

}  // namespace vorla::ui
