// An icon-only button whose glyph is drawn here (no icon theme needed): the
// island's settings gear and quit power symbol. Hovering lights a faint round
// backdrop; clicking emits QAbstractButton::clicked. It never takes keyboard
// focus (the island must not steal focus). Interface thread only.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QStringView>

namespace vorla::ui {

class IconButton : public QAbstractButton {
    Q_OBJECT
  public:
    enum class Glyph {
        gear,   // "gearshape.fill": settings
        power,  // "power": quit
    };

    // `side` is the button's square size in points; the glyph takes 60 %.
    explicit IconButton(Glyph glyph, const QColor& tint, int side = 24, QWidget* parent = nullptr);

    void setGlyph(Glyph glyph);
    void setTint(const QColor& tint);
    [[nodiscard]] Glyph glyph() const { return glyph_; }
    [[nodiscard]] QColor tint() const { return tint_; }
    [[nodiscard]] bool hovered() const { return hovered_; }

    [[nodiscard]] QSize sizeHint() const override { return {side_, side_}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    Glyph glyph_;
    QColor tint_;
    int side_;
    bool hovered_ = false;
};

// Draws `glyph` filling the square of side min(width, height) centred in
// `rect`, in `colour`.
void paintGlyph(QPainter& painter, const QRectF& rect, IconButton::Glyph glyph,
                const QColor& colour);

}  // namespace vorla::ui
