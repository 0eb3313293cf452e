// The island's window: frameless, translucent, always on top, never takes
// the focus, no taskbar or pager entry, on every workspace. It is an
// override-redirect window, so no window manager moves, decorates, focuses
// or lists it, and it may cover the top panel. It hangs from the top centre
// of the primary screen and follows that screen when it changes.
//
// Its shape mask is set from the island's outline at every size, with or
// without a compositing manager: without one X11 has no per-pixel
// transparency, and with one the mask costs only the outermost anti-aliased
// pixels while letting clicks on the see-through shoulders reach the windows
// below. Checking for a compositor would mean talking xcb for a difference
// nobody sees.
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

    // The primary screen's full rectangle (y downwards), or a default when
    // there is no screen at all.
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
