// One live session in the expanded island: its sprite; the agent's name and
// status chip; the folder; the activity and tool count; and, with a context
// reading, the context bar. Follows its session's changes.
//
// Main thread only.
#pragma once

#include <QWidget>
#include <memory>

#include "engine/session/session.h"
#include "engine/support/observable.h"

class QLabel;

namespace vorla::ui {

class ContextBar;
class SpriteView;
class StatusChip;

class SessionRow final : public QWidget {
    Q_OBJECT
  public:
    explicit SessionRow(std::shared_ptr<Session> session, QWidget* parent = nullptr);

  private:
    void refresh();

    std::shared_ptr<Session> session_;
    SpriteView* sprite_;
    QLabel* name_;
    StatusChip* chip_;
    QLabel* folder_;
    QLabel* activity_;
    QLabel* tools_;
    QWidget* contextRow_;
    ContextBar* contextBar_;
    QLabel* contextText_;
    Subscription subscription_;
};

// The folder as shown: the home directory as "~".
[[nodiscard]] QString homeShortened(const std::string& path);

}  // namespace vorla::ui
