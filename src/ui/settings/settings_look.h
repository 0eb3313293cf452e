// The settings pages' styles: the shared Palette and Type, plus the few
// surfaces only this window has (sidebar, cards, figures). Interface thread
// only (fonts need the application).
#pragma once

#include <QColor>
#include <QFont>

#include "ui/style/palette.h"

namespace vorla::ui::look {

inline QColor bg() {
    return Palette::bg();
}
inline QColor text() {
    return Palette::text();
}
inline QColor text2() {
    return Palette::text2();
}
inline QColor text3() {
    return Palette::text3();
}
inline QColor green() {
    return Palette::green();
}
inline QColor yellow() {
    return Palette::yellow();
}
inline QColor pink() {
    return Palette::pink();
}
[[nodiscard]] QColor sidebar();   // a shade darker than bg()
[[nodiscard]] QColor cardFill();  // white at 5 % over bg()

// Section heads: Type::section in small capitals.
[[nodiscard]] QFont section();
inline QFont label() {
    return Type::label();
}
inline QFont caption() {
    return Type::caption();
}
inline QFont mono(int size, QFont::Weight weight = QFont::Normal) {
    return Type::mono(size, weight);
}
// Running text (blurbs, notes).
[[nodiscard]] QFont body();
// Large figures on tiles.
[[nodiscard]] QFont figure();

// "color: rgba(...);" for a style sheet.
[[nodiscard]] QString css(const QColor& color);

}  // namespace vorla::ui::look
