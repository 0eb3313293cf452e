// The island's window: frameless, translucent, always on top, never takes
// the focus, no taskbar or pager entry, on every workspace. It is an
// override-redirect window, so no window manager moves, decorates, focuses
// or lists it: on sway and other wlroots compositors that is the only kind of
// X11 window that is not tiled or floated to mid-screen, and GNOME and KWin
// keep such windows above all others. It hangs from the top centre of the
// primary screen, below a top bar (the top of the screen's available area),
// and follows that screen when it changes.
//
// Clicks beside the island's outline reach the windows below. With a
// compositing manager only the X input region is cut to the outline, so the
// anti-aliased edge stays; without one X11 has no per-pixel transparency and
// the window itself is cut to the outline.
//
// Main thread only.
#pragma once

#include <QPointer>
#include <QPropertyAnimation>
#include <QRegion>
#include <QWidget>
#include <functional>

#include "engine/look/island_layout.h"

class QScreen;

namespace vorla::ui {

class NotchWindow final : public QWidget {
    Q_OBJECT
  public:
    // Moves and resizes take this long, easing out.
    static constexpr int kLayoutMs = 280;

    // Hosts `content` (reparented, filling the window).
    explicit NotchWindow(QWidget* content);

    // The window's shape for a given size; the mask follows it.
    std::function<QRegion(QSize)> maskFor;

    // Animates to `frame` at the top of the primary screen (centred, or with
    // the notch on the screen's centre line). The first call, and any call
    // while hidden, places the window at once.
    void layout(const IslandLayout::Frame& frame, const NotchGeometry& geo);
    // Sets the mask again for the current size (the shape changed).
    void refreshMask();

    // The primary screen's rectangle (y downwards) from the top of its
    // available area down, or a default when there is no screen at all.
    [[nodiscard]] static QRect screenFrame();

    // Shown, raised above other windows, without taking the focus.
    void bringForward();

    // Called when the primary screen or its geometry changed, after the
    // window has been placed again at its current size.
    std::function<void()> onScreenChanged;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void followPrimaryScreen();
    [[nodiscard]] QRect targetRect() const;

    QPropertyAnimation animation_;
    QPointer<QScreen> screen_;
    IslandLayout::Frame frame_;
    NotchGeometry geo_;
    bool placed_ = false;
};

}  // namespace vorla::ui
