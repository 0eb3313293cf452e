// The island on screen: the view in its window, laid out again on every
// change of the store, of its own view state (hover, measured height) or of
// what the view shows (so a gate opens the island at once and the right ear
// follows the first session's activity) and on the 60 ms tick that reads
// where the pointer is. The window is animated only when its frame really
// changes, and raised above every other window whenever it expands or a gate
// opens.
//
// The tick reads the pointer's position rather than waiting for motion
// events: a pointer that jumps (a warp, a remote desktop, a tablet) sends no
// motion, and crossing only the island's own edge misses its hover margins.
// It looks every 60 ms while the island is open or the pointer is near it,
// and every 400 ms while the pointer is far: the look is an X round trip,
// and an idle desktop must stay idle. A pointer jumping from far away is
// seen within 400 ms; one moving over is near before it arrives.
//
// Main thread only. The store must outlive the island; the island owns its
// view state, which its view shares.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>

#include "engine/look/island_layout.h"
#include "engine/look/island_view_state.h"
#include "engine/session/session_store.h"
#include "engine/support/observable.h"
#include "ui/island/island_view.h"
#include "ui/island/notch_window.h"
#include "ui/island/pointer_position.h"

namespace vorla::ui {

class Island final : public QObject {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kHoverInterval{60};
    static constexpr std::chrono::milliseconds kFarInterval{400};
    // How far around the hover area the pointer counts as near.
    static constexpr int kNearDistance = 200;

    Island(SessionStore& store, NotchGeometry geo, IslandActions actions);
    ~Island() override;
    Island(const Island&) = delete;
    Island& operator=(const Island&) = delete;

    // Lays the window out, shows it above other windows without taking the
    // focus and starts the hover tick. Later calls only bring it forward.
    void show();

    // The hover hit-test: sets the view state's hovering flag from the pointer.
    void trackHover(QPoint pointer);
    // Lays the window out for the store's state; nothing when unchanged.
    void resize();

    [[nodiscard]] NotchWindow& window() { return *window_; }
    [[nodiscard]] IslandView& view() { return *view_; }
    [[nodiscard]] IslandViewState& viewState() { return viewState_; }
    [[nodiscard]] const NotchGeometry& geometry() const { return geo_; }

  private:
    [[nodiscard]] IslandLayout::Inputs layoutInputs() const;
    void hoverTick();
    // Brings the window to the top when it has just expanded or a new gate
    // has opened: a window opened since may cover the card's buttons.
    void raiseOnExpand(const IslandLayout::Inputs& inputs);

    SessionStore& store_;
    const NotchGeometry geo_;
    IslandViewState viewState_;  // before view_, which keeps a reference
    IslandView* view_;           // owned by window_
    std::unique_ptr<NotchWindow> window_;
    IslandSizer sizer_;
    QTimer hoverTimer_;
    PointerPosition pointer_;
    bool shown_ = false;
    bool wasExpanded_ = false;
    std::weak_ptr<const Gate> lastGate_;  // the active gate at the last raise check
    Subscription storeSubscription_;
    Subscription viewStateSubscription_;
};

}  // namespace vorla::ui
