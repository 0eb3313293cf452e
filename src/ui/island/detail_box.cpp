#include "ui/island/detail_box.h"

#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <cmath>
#include <vector>

#include "engine/look/gate_card_look.h"
#include "ui/island/detail_box_metrics.h"
#include "ui/style/palette.h"

namespace vorla::ui {

namespace {

// The wrapped text, each line placed a fixed line height below the previous
// one, so the count that sized the box is the count painted.
class WrappedText final : public QWidget {
  public:
    WrappedText(const QString& text, double lineHeight, QWidget* parent)
        : QWidget(parent), layout_(text, detailFont()), lineHeight_(lineHeight) {
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout_.setTextOption(option);
        layout_.beginLayout();
        for (QTextLine line = layout_.createLine(); line.isValid(); line = layout_.createLine()) {
            line.setLineWidth(DetailBox::kTextWidth);
            line.setPosition(QPointF(0, lineHeight_ * line.lineNumber()));
        }
        layout_.endLayout();
        setFixedSize(
            DetailBox::kTextWidth + 2 * DetailBox::kInsetX,
            static_cast<int>(std::ceil(lines() * lineHeight_ + GateCardLook::detailBoxPadding)));
    }

    [[nodiscard]] int lines() const { return std::max(1, layout_.lineCount()); }

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setPen(Palette::text());
        layout_.draw(&painter, QPointF(DetailBox::kInsetX, GateCardLook::detailBoxPadding / 2));
    }

  private:
    QTextLayout layout_;
    double lineHeight_;
};

}  // namespace

DetailBox::DetailBox(const QString& text, QWidget* parent) : QScrollArea(parent) {
    const QFontMetricsF metrics(detailFont());
    lineHeight_ = GateCardLook::lineHeight(metrics.ascent(), metrics.descent(), metrics.leading());
    auto* content = new WrappedText(text, lineHeight_, this);
    lines_ = content->lines();
    setWidget(content);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);
    setFixedHeight(static_cast<int>(GateCardLook::detailBoxHeight(lineHeight_, lines_)));
    setObjectName(QStringLiteral("detail"));
    setStyleSheet(QStringLiteral("#detail { background: %1; border-radius: 7px; }"
                                 "#detail > QWidget > QWidget { background: transparent; }")
                      .arg(Palette::withOpacity(Qt::white, 0.06).name(QColor::HexArgb)));
    viewport()->setAutoFillBackground(false);
}

}  // namespace vorla::ui
