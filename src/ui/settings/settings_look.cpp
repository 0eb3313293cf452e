#include "ui/settings/settings_look.h"

namespace vorla::ui::look {

QColor sidebar() {
    return QColor::fromRgbF(0.07F, 0.07F, 0.08F);
}
QColor cardFill() {
    return QColor::fromRgbF(1, 1, 1, 0.05F);
}

QFont section() {
    QFont font = Type::section();
    font.setCapitalization(QFont::AllUppercase);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    return font;
}

QFont body() {
    return Type::system(13);
}
QFont figure() {
    return Type::mono(24, QFont::Bold);
}

QString css(const QColor& color) {
    return QStringLiteral("color: rgba(%1,%2,%3,%4);")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF(), 0, 'f', 2);
}

}  // namespace vorla::ui::look
