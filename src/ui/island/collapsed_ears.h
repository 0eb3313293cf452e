// The collapsed island: the sprites of the first four sessions in the left
// ear, a gap as wide as the notch, and the first session's activity in the
// right ear, cut at the tail.
//
// Main thread only.
#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "engine/look/island_layout.h"
#include "engine/session/session.h"

namespace vorla::ui {

class SpriteView;

class CollapsedEars final : public QWidget {
    Q_OBJECT
  public:
    explicit CollapsedEars(NotchGeometry geo, QWidget* parent = nullptr);

    // Shows these sessions (only the first four have sprites).
    void show(const std::vector<std::shared_ptr<Session>>& sessions);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void placeSprites();

    const NotchGeometry geo_;
    std::array<SpriteView*, IslandLayout::maxEarSprites> sprites_{};
    std::size_t shown_ = 0;
    QString activity_;
};

}  // namespace vorla::ui
