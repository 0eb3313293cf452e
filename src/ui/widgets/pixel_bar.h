// Segmented bars: a row of `segments` rounded bars (corner radius 2, 3 points
// apart, flexible width), the first round(fraction x segments) lit in a tint
// and the rest white at 10 %.
//
// PixelBar takes its tint from the caller (settings pages); ContextBar is the
// island's context-window meter: 12 segments, 6 high, pink, yellow past 85 %.
// Interface thread only.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QWidget>

namespace vorla::ui {

// The shared drawing, for widgets that draw a bar inside a larger paint.
void paintSegments(QPainter& painter, const QRectF& rect, int segments, int filled,
                   const QColor& tint);

class PixelBar : public QWidget {
    Q_OBJECT
  public:
    explicit PixelBar(QWidget* parent = nullptr);

    // Each setter repaints when the value changed.
    void setFraction(double fraction);  // kept within [0, 1]
    void setTint(const QColor& tint);
    void setBarHeight(double height);  // default 6
    void setSegments(int segments);    // default 12, at least 1

    [[nodiscard]] double fraction() const { return fraction_; }
    [[nodiscard]] QColor tint() const { return tint_; }
    [[nodiscard]] int segments() const { return segments_; }
    [[nodiscard]] int filled() const;  // lit segments

    [[nodiscard]] QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double fraction_ = 0;
    QColor tint_;
    double barHeight_ = 6;
    int segments_ = 12;
};

class ContextBar : public QWidget {
    Q_OBJECT
  public:
    explicit ContextBar(QWidget* parent = nullptr);

    // used / limit (ContextReading::fraction); repaints when it changed.
    void setFraction(double fraction);
    [[nodiscard]] double fraction() const { return fraction_; }
    [[nodiscard]] int segments() const { return kSegments; }
    [[nodiscard]] int filled() const;
    [[nodiscard]] QColor tint() const;  // yellow past 85 %, else pink

    [[nodiscard]] QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    static constexpr int kSegments = 12;
    double fraction_ = 0;
};

}  // namespace vorla::ui
