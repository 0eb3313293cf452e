#include "ui/island/collapsed_ears.h"

#include <QPainter>

#include "ui/island/sprite_view.h"
#include "ui/style/palette.h"

namespace vorla::ui {

namespace {

// The sprites start this far from the window's left edge; the activity text
// starts this far right of the notch and ends this far from the right edge.
constexpr double kSpriteInset = 12;
constexpr double kTextGap = 12;
constexpr double kTextInset = 8;

}  // namespace

CollapsedEars::CollapsedEars(NotchGeometry geo, QWidget* parent) : QWidget(parent), geo_(geo) {
    for (auto& sprite : sprites_) {
        sprite = new SpriteView(SpriteKind::idle, Source::claude, IslandLayout::spriteSlot, this);
        sprite->hide();
    }
}

void CollapsedEars::show(const std::vector<std::shared_ptr<Session>>& sessions) {
    shown_ = std::min(sessions.size(), sprites_.size());
    for (std::size_t i = 0; i < sprites_.size(); ++i) {
        if (i < shown_) {
            sprites_[i]->setKind(sessions[i]->state());
            sprites_[i]->setAgent(sessions[i]->source());
        }
        sprites_[i]->setVisible(i < shown_);
    }
    activity_ = sessions.empty() ? QString() : QString::fromStdString(sessions[0]->activity());
    placeSprites();
    update();
}

void CollapsedEars::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeSprites();
}

void CollapsedEars::placeSprites() {
    const double slot = IslandLayout::spriteSlot + IslandLayout::spriteGap;
    const int top = static_cast<int>((height() - IslandLayout::spriteSlot) / 2);
    for (std::size_t i = 0; i < shown_; ++i) {
        sprites_[i]->move(static_cast<int>(kSpriteInset + static_cast<double>(i) * slot), top);
    }
}

void CollapsedEars::paintEvent(QPaintEvent* /*event*/) {
    if (activity_.isEmpty()) {
        return;
    }
    QPainter painter(this);
    painter.setFont(Type::mono(11, QFont::Medium));
    painter.setPen(Palette::text2());
    const double left = IslandLayout::leftEar(shown_) + geo_.notchWidth + kTextGap;
    const QRectF ear(left, 0, width() - left - kTextInset, height());
    const QString text =
        painter.fontMetrics().elidedText(activity_, Qt::ElideRight, static_cast<int>(ear.width()));
    painter.drawText(ear, Qt::AlignVCenter | Qt::AlignLeft, text);
}

}  // namespace vorla::ui
