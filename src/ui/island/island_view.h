// The island's content. It observes the session store and changes nothing
// but the store's measured height and, through the gate card, the gate's
// decision.
//
// Main thread only. The store must outlive the view.
#pragma once

#include <QPainterPath>
#include <QWidget>
#include <functional>

#include "engine/session/session_store.h"
#include "engine/support/observable.h"

namespace vorla::ui {

struct IslandActions {
    std::function<void()> onSettings;
    std::function<void()> onQuit;
    std::function<void(const Gate&)> onTeachRule;
};

class IslandView final : public QWidget {
    Q_OBJECT
  public:
    IslandView(SessionStore& store, IslandActions actions, QWidget* parent = nullptr);

    // The island's outline for a window of `size`.
    [[nodiscard]] QPainterPath outline(QSizeF size) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    SessionStore& store_;
    IslandActions actions_;
    Subscription storeSubscription_;
};

}  // namespace vorla::ui
