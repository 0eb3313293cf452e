// The gate card's detail box height from real font metrics: the 13-point
// mono font's line height times the lines the text takes when wrapped to 440
// points (1 to 4; longer text scrolls inside the box), plus 24.
// Interface thread (fonts need a QGuiApplication).
#pragma once

#include <QFont>
#include <QString>

namespace vorla::ui {

// The font the detail text is drawn in: Type::mono(13).
[[nodiscard]] QFont detailFont();
// Lines `text` takes in `font` wrapped to `width` (at least 1; a word longer
// than the width breaks anywhere).
[[nodiscard]] int wrappedLineCount(const QString& text, const QFont& font, double width);
// The box height for a gate's detail (an empty detail shows "(no arguments)").
[[nodiscard]] double detailBoxHeight(const QString& detail);

}  // namespace vorla::ui
