// The island on screen: the view in its window, laid out again on every
// change of the store (so a gate opens the island at once) and on the 60 ms
// tick that tracks the pointer. The window is animated only when its frame
// really changes. Where pointer motion can be watched the tick sleeps while
// the pointer rests, waking on its next move or on a change of the store
// (which may move the island's edges under a resting pointer).
//
// Main thread only. The store must outlive the island.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>

#include "engine/look/island_layout.h"
#include "engine/session/session_store.h"
#include "engine/support/observable.h"
#include "ui/island/island_view.h"
#include "ui/notch_window.h"
#include "ui/pointer_motion.h"

namespace vorla::ui {

class Island final : public QObject {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kHoverInterval{60};

    Island(SessionStore& store, NotchGeometry geo, IslandActions actions);
    ~Island() override;
    Island(const Island&) = delete;
    Island& operator=(const Island&) = delete;

    // Lays the window out, shows it above other windows without taking the
    // focus and starts the hover tick. Later calls only bring it forward.
    void show();

    // The hover hit-test: sets the store's hovering flag from the pointer.
    void trackHover(QPoint pointer);
    // Lays the window out for the store's state; nothing when unchanged.
    void resize();

    [[nodiscard]] NotchWindow& window() { return *window_; }
    [[nodiscard]] IslandView& view() { return *view_; }
    [[nodiscard]] const NotchGeometry& geometry() const { return geo_; }

    // Whether the hover tick runs now (for tests).
    [[nodiscard]] bool hoverTickRunning() const { return hoverTimer_.isActive(); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Still ticks before the tick sleeps: one to see the pointer stop, one
    // for a layout change the last hover change caused.
    static constexpr int kStillTicks = 2;

    [[nodiscard]] IslandLayout::Inputs layoutInputs() const;
    void hoverTick();
    void wakeHoverTick();

    SessionStore& store_;
    const NotchGeometry geo_;
    IslandView* view_;  // owned by window_
    std::unique_ptr<NotchWindow> window_;
    IslandSizer sizer_;
    QTimer hoverTimer_;
    std::unique_ptr<PointerMotionWatch> motion_;  // null: poll all the time
    QPoint lastPointer_;
    int stillTicks_ = 0;
    bool shown_ = false;
    Subscription storeSubscription_;
};

}  // namespace vorla::ui
