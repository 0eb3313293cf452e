// A text button, outlined or filled with its tint, optionally as wide as its
// row. Interface thread only.
#pragma once

#include <QAbstractButton>
#include <QColor>

namespace vorla::ui {

class FlatButton final : public QAbstractButton {
    Q_OBJECT
  public:
    enum class Fill { outlined, filled };
    enum class Width { fit, wide };

    FlatButton(const QString& title, QColor tint, Fill fill = Fill::outlined,
               Width width = Width::fit, QWidget* parent = nullptr);

    [[nodiscard]] QString title() const { return text(); }
    [[nodiscard]] bool hovered() const { return hovered_; }
    [[nodiscard]] QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    QColor tint_;
    Fill fill_;
    bool hovered_ = false;
};

}  // namespace vorla::ui
