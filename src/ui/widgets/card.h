// A rounded panel around its content. Interface thread only.
#pragma once

#include <QColor>
#include <QFrame>

class QVBoxLayout;

namespace vorla::ui {

class Card final : public QFrame {
    Q_OBJECT
  public:
    explicit Card(QColor fill, int padding = 14, QWidget* parent = nullptr);

    // Where the content goes.
    [[nodiscard]] QVBoxLayout* content() const { return content_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor fill_;
    QVBoxLayout* content_;
};

}  // namespace vorla::ui
