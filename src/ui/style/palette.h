// The colours and type styles shared by the island and the settings window.
// Every widget draws with these, so the look changes in one place.
//
// Interface thread (fonts need a QGuiApplication). Sizes are in points of the
// island's coordinate space, which are Qt logical pixels: fonts are set with
// a pixel size so a 12-point caption is 12 logical pixels tall whatever the
// screen's DPI setting says.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include "engine/look/rgb.h"

namespace vorla::ui {

namespace Palette {

[[nodiscard]] QColor text();      // white at 95 %: primary text
[[nodiscard]] QColor text2();     // white at 60 %: secondary text
[[nodiscard]] QColor text3();     // white at 38 %: captions, hints
[[nodiscard]] QColor green();     // completed, allow, low risk
[[nodiscard]] QColor yellow();    // needs you, warnings
[[nodiscard]] QColor pink();      // active, deny, destructive
[[nodiscard]] QColor bg();        // the settings window's background (0.09, 0.09, 0.10)
[[nodiscard]] QColor island();    // the island's body: black
[[nodiscard]] QColor sidebar();   // the settings sidebar: a shade darker than bg()
[[nodiscard]] QColor cardFill();  // settings cards: white at 5 % over bg()

// An engine colour (accent, sprite tint, risk tint) at an opacity.
[[nodiscard]] QColor fromRgb(const Rgb& rgb, double opacity = 1.0);
// `colour` with its alpha multiplied by `opacity` (0..1).
[[nodiscard]] QColor withOpacity(QColor colour, double opacity);
// "color: rgba(...);" for a style sheet.
[[nodiscard]] QString css(const QColor& colour);

}  // namespace Palette

namespace Type {

// The desktop's default font family (QGuiApplication::font()) at `size`
// logical pixels and `weight`.
[[nodiscard]] QFont system(int size, QFont::Weight weight = QFont::Normal);
// The desktop's fixed-width font (QFontDatabase::systemFont(FixedFont)).
[[nodiscard]] QFont mono(int size, QFont::Weight weight = QFont::Normal);

[[nodiscard]] QFont caption();  // 12 mono
[[nodiscard]] QFont label();    // 14 semibold
[[nodiscard]] QFont section();  // 11 semibold mono (headings in small capitals)
[[nodiscard]] QFont heading();  // section() in capitals, spaced: the settings pages' section heads
[[nodiscard]] QFont body();     // 13: running text (blurbs, notes)
[[nodiscard]] QFont figure();   // 24 bold mono: large figures on tiles

}  // namespace Type

}  // namespace vorla::ui
