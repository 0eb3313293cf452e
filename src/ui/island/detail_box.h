// The gate card's detail box: the call's detail in 13-point mono, wrapped
// (at word boundaries, or anywhere inside a long word), in a box one to four
// lines tall by the font's own line metrics; longer text scrolls inside it.
//
// Main thread only.
#pragma once

#include <QScrollArea>
#include <QString>

namespace vorla::ui {

class DetailBox final : public QScrollArea {
    Q_OBJECT
  public:
    // The text wraps at this many points inside the box.
    static constexpr int kTextWidth = 420;
    static constexpr int kInsetX = 10;

    explicit DetailBox(const QString& text, QWidget* parent = nullptr);

    [[nodiscard]] int lines() const { return lines_; }  // wrapped, unclamped
    [[nodiscard]] double lineHeight() const { return lineHeight_; }

  private:
    int lines_ = 1;
    double lineHeight_ = 0;
};

}  // namespace vorla::ui
