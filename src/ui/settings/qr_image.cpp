#include "ui/settings/qr_image.h"

#include <algorithm>

namespace vorla::ui {

QImage qrImage(const phone::QRMatrix& matrix, int pixelsPerModule) {
    const int scale = std::max(1, pixelsPerModule);
    const int modules = matrix.size + 2 * kQuietModules;
    QImage image(modules * scale, modules * scale, QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < matrix.size; ++y) {
        for (int x = 0; x < matrix.size; ++x) {
            if (!matrix.dark(x, y)) {
                continue;
            }
            const int left = (x + kQuietModules) * scale;
            const int top = (y + kQuietModules) * scale;
            for (int row = top; row < top + scale; ++row) {
                std::fill_n(image.scanLine(row) + left, scale, static_cast<uchar>(0));
            }
        }
    }
    return image;
}

int pixelsPerModuleFor(const phone::QRMatrix& matrix, int side) {
    const int modules = matrix.size + 2 * kQuietModules;
    return modules > 0 ? std::max(1, side / modules) : 1;
}

}  // namespace vorla::ui
