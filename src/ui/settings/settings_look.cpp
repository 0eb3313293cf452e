#include "ui/settings/settings_look.h"

#include <QFontDatabase>

namespace vorla::ui::look {

namespace {

QColor white(double opacity) {
    return QColor::fromRgbF(1, 1, 1, static_cast<float>(opacity));
}

QColor rgb(double r, double g, double b) {
    return QColor::fromRgbF(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b));
}

QFont sized(QFont font, int pointSize, QFont::Weight weight) {
    font.setPointSize(pointSize);
    font.setWeight(weight);
    return font;
}

}  // namespace

QColor bg() {
    return rgb(0.09, 0.09, 0.10);
}
QColor sidebar() {
    return rgb(0.07, 0.07, 0.08);
}
QColor cardFill() {
    return white(0.05);
}
QColor text() {
    return white(0.95);
}
QColor text2() {
    return white(0.60);
}
QColor text3() {
    return white(0.38);
}
QColor green() {
    return rgb(0.55, 0.91, 0.55);
}
QColor yellow() {
    return rgb(0.98, 0.85, 0.42);
}
QColor pink() {
    return rgb(0.98, 0.53, 0.75);
}

QFont mono(int pointSize, QFont::Weight weight) {
    return sized(QFontDatabase::systemFont(QFontDatabase::FixedFont), pointSize, weight);
}

QFont section() {
    QFont font = mono(11, QFont::DemiBold);
    font.setCapitalization(QFont::AllUppercase);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    return font;
}

QFont label() {
    return sized(QFontDatabase::systemFont(QFontDatabase::GeneralFont), 14, QFont::DemiBold);
}
QFont caption() {
    return mono(12);
}
QFont body() {
    return sized(QFontDatabase::systemFont(QFontDatabase::GeneralFont), 12, QFont::Normal);
}
QFont figure() {
    return mono(22, QFont::Bold);
}

QString css(const QColor& color) {
    return QStringLiteral("color: rgba(%1,%2,%3,%4);")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF(), 0, 'f', 2);
}

}  // namespace vorla::ui::look
