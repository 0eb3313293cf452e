// Colours and fonts of the settings pages, in one place so every page draws
// alike. Interface thread only (QFont needs the application).
#pragma once

#include <QColor>
#include <QFont>

namespace vorla::ui::look {

[[nodiscard]] QColor bg();       // window background
[[nodiscard]] QColor sidebar();  // sidebar background
[[nodiscard]] QColor cardFill();
[[nodiscard]] QColor text();
[[nodiscard]] QColor text2();
[[nodiscard]] QColor text3();
[[nodiscard]] QColor green();
[[nodiscard]] QColor yellow();
[[nodiscard]] QColor pink();

// Section heads: small capitals, monospaced.
[[nodiscard]] QFont section();
[[nodiscard]] QFont label();
[[nodiscard]] QFont caption();
[[nodiscard]] QFont body();
[[nodiscard]] QFont mono(int pointSize, QFont::Weight weight = QFont::Normal);
// Large figures on tiles.
[[nodiscard]] QFont figure();

// "color: rgba(...)" for a style sheet.
[[nodiscard]] QString css(const QColor& color);

}  // namespace vorla::ui::look
