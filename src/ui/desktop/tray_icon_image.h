// The tray icon: the idle Claude creature from the sprite grids, drawn as a
// light glyph with a dark one-cell outline so it reads on dark and on light
// panels alike (Linux trays do not recolour "template" images). The eyes
// and the gap between the legs stay dark.
//
// Interface thread (QIcon and QImage painting need a QGuiApplication).
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

namespace vorla::ui {

// Glyph and outline colours of the tray icon.
[[nodiscard]] QColor trayGlyphColour();
[[nodiscard]] QColor trayOutlineColour();

// The icon drawn on a transparent `pixels` x `pixels` square: 16 cells of
// pixels / 16 each, as the 18-point picture scaled.
[[nodiscard]] QImage trayIconImage(int pixels);
// Pixmaps from 16 to 72 pixels, so a panel of any height gets a sharp one.
[[nodiscard]] QIcon trayIcon();

}  // namespace vorla::ui
