#include "ui/style/palette.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <algorithm>

#include "engine/look/rgb.h"

namespace vorla::ui {

namespace Palette {

QColor text() {
    return QColor::fromRgbF(1, 1, 1, 0.95f);
}
QColor text2() {
    return QColor::fromRgbF(1, 1, 1, 0.60f);
}
QColor text3() {
    return QColor::fromRgbF(1, 1, 1, 0.38f);
}
QColor green() {
    return fromRgb(Accent::green);
}
QColor yellow() {
    return fromRgb(Accent::yellow);
}
QColor pink() {
    return fromRgb(Accent::pink);
}
QColor bg() {
    return QColor::fromRgbF(0.09f, 0.09f, 0.10f);
}
QColor island() {
    return QColor(Qt::black);
}

QColor fromRgb(const Rgb& rgb, double opacity) {
    return QColor::fromRgbF(static_cast<float>(rgb.r), static_cast<float>(rgb.g),
                            static_cast<float>(rgb.b),
                            static_cast<float>(std::clamp(opacity, 0.0, 1.0)));
}

QColor withOpacity(QColor colour, double opacity) {
    colour.setAlphaF(colour.alphaF() * static_cast<float>(std::clamp(opacity, 0.0, 1.0)));
    return colour;
}

QColor sidebar() {
    return QColor::fromRgbF(0.07F, 0.07F, 0.08F);
}
QColor cardFill() {
    return QColor::fromRgbF(1, 1, 1, 0.05F);
}

QString css(const QColor& colour) {
    return QStringLiteral("color: rgba(%1,%2,%3,%4);")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(colour.alphaF(), 0, 'f', 2);
}

}  // namespace Palette

namespace Type {

QFont system(int size, QFont::Weight weight) {
    QFont font = QGuiApplication::font();
    font.setPixelSize(size);
    font.setWeight(weight);
    return font;
}

QFont mono(int size, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(size);
    font.setWeight(weight);
    return font;
}

QFont caption() {
    return mono(12);
}
QFont label() {
    return system(14, QFont::DemiBold);
}
QFont section() {
    return mono(11, QFont::DemiBold);
}
QFont heading() {
    QFont font = section();
    font.setCapitalization(QFont::AllUppercase);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    return font;
}
QFont body() {
    return system(13);
}
QFont figure() {
    return mono(24, QFont::Bold);
}

}  // namespace Type

}  // namespace vorla::ui
