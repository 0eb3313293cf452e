// A QR matrix as a crisp image: every module is a whole number of pixels,
// dark on white, with a quiet zone around it, so a camera reads it at any
// zoom. Pure; callable from any thread (QImage needs no display).
#pragma once

#include <QImage>

#include "engine/phone/qr_code.h"

namespace vorla::ui {

// `pixelsPerModule` is clamped to at least 1; the quiet zone is four modules
// wide, as QR readers expect.
[[nodiscard]] QImage qrImage(const phone::QRMatrix& matrix, int pixelsPerModule);

// The largest whole pixels per module for which the image, quiet zone
// included, fits in `side` pixels (at least 1).
[[nodiscard]] int pixelsPerModuleFor(const phone::QRMatrix& matrix, int side);

inline constexpr int kQuietModules = 4;

}  // namespace vorla::ui
