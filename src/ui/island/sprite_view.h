// A widget showing one animated pixel creature: an agent's body with the
// headgear of what it is doing, in the kind's tint or a colour of the
// caller's.
//
// It repaints only when the frame it shows changes: one single-shot timer
// sleeps until the next frame change of its kind (1 to 12 changes a second),
// and it is stopped while the widget is hidden or scrolled out of view (the
// next paint wakes it), so an idle desktop stays idle. Interface thread only.
#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

#include "core/protocol.h"
#include "engine/session/sprite_kind.h"

namespace vorla::ui {

class SpriteView : public QWidget {
    Q_OBJECT
  public:
    // Seconds on the sprites' clock; PixelSprite::spriteTimeNow by default.
    using TimeSource = std::function<double()>;

    // A `size` x `size` widget (fixed size, rounded up to whole pixels).
    explicit SpriteView(SpriteKind kind, Source agent, double size = 18, QWidget* parent = nullptr);

    // Each setter repaints (when the value changed) and re-times the timer.
    void setKind(SpriteKind kind);
    void setAgent(Source agent);
    void setSpriteSize(double size);
    void setColor(std::optional<QColor> colour);  // nullopt: the kind's tint
    void setTimeSource(TimeSource source);        // tests: a manual clock

    [[nodiscard]] SpriteKind kind() const { return kind_; }
    [[nodiscard]] Source agent() const { return agent_; }
    [[nodiscard]] double spriteSize() const { return size_; }
    // True while a frame change is scheduled (in view, timer armed).
    [[nodiscard]] bool isAnimating() const { return timer_.isActive(); }
    // Milliseconds until the scheduled frame change, or -1 when not animating.
    [[nodiscard]] int msUntilNextFrame() const;
    // How many times paintEvent ran: lets tests see that nothing repaints in
    // vain.
    [[nodiscard]] int paintCount() const { return paintCount_; }

    [[nodiscard]] QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    [[nodiscard]] double now() const;
    [[nodiscard]] bool inView() const;
    void schedule();
    void onFrameDue();

    SpriteKind kind_;
    Source agent_;
    double size_;
    std::optional<QColor> colour_;
    TimeSource timeSource_;
    QTimer timer_;
    int shownFrame_ = -1;
    int paintCount_ = 0;
};

}  // namespace vorla::ui
