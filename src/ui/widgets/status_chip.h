// A small capsule naming a session's status: "active" (pink), "completed"
// (green) or "needs you" (yellow), from its sprite kind. Used by the island's
// session rows and the settings window. Interface thread only.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include "engine/session/sprite_kind.h"

namespace vorla::ui {

class StatusChip : public QWidget {
    Q_OBJECT
  public:
    explicit StatusChip(SpriteKind kind = SpriteKind::idle, QWidget* parent = nullptr);

    void setKind(SpriteKind kind);  // repaints and resizes when the text changes
    [[nodiscard]] SpriteKind kind() const { return kind_; }
    [[nodiscard]] QString text() const;   // statusLabel(kind)
    [[nodiscard]] QColor colour() const;  // tint(kind): text and a 16 % fill

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    SpriteKind kind_;
};

}  // namespace vorla::ui
