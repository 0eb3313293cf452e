// The victory lap: the finishing agent's creature runs and hops across a
// strip below the notch, leaving sparks. Animates only while shown and only
// for the lap's length.
//
// Main thread only.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

#include "core/protocol.h"
#include "engine/look/island_layout.h"
#include "engine/records/victory_lap.h"

namespace vorla::ui {

class SpriteView;

class LapView final : public QWidget {
    Q_OBJECT
  public:
    explicit LapView(NotchGeometry geo, QWidget* parent = nullptr);

    // Seconds on a steady clock.
    using TimeSource = std::function<double()>;

    // Starts a lap for `agent` from the beginning.
    void start(Source agent);
    // Tests: a manual clock for the lap and its creature.
    void setTimeSource(TimeSource source);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    [[nodiscard]] QRectF strip() const;
    [[nodiscard]] double now() const;
    [[nodiscard]] double progress() const;
    void tick();

    const NotchGeometry geo_;
    const VictoryLap lap_;
    SpriteView* creature_;
    QTimer frames_;
    TimeSource timeSource_;
    std::optional<double> startedAt_;
    std::optional<Source> agent_;
};

}  // namespace vorla::ui
