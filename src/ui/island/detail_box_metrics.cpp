#include "ui/island/detail_box_metrics.h"

#include <QFontMetricsF>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <string>
#include <string_view>

#include "engine/look/gate_card_look.h"
#include "ui/style/palette.h"

namespace vorla::ui {

QFont detailFont() {
    return Type::mono(static_cast<int>(GateCardLook::detailFontSize));
}

int wrappedLineCount(const QString& text, const QFont& font, double width) {
    int lines = 0;
    // Each paragraph wraps on its own, as the label showing it does.
    for (const QString& paragraph : text.split(u'\n')) {
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        int paragraphLines = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            ++paragraphLines;
            // Nothing beyond the box's four lines is ever needed.
            if (lines + paragraphLines > GateCardLook::maxDetailLines) {
                break;
            }
        }
        layout.endLayout();
        lines += std::max(1, paragraphLines);
        if (lines > GateCardLook::maxDetailLines) {
            break;
        }
    }
    return std::max(1, lines);
}

double detailBoxHeight(const QString& detail) {
    const QFont font = detailFont();
    const QFontMetricsF metrics(font);
    const double lineHeight =
        GateCardLook::lineHeight(metrics.ascent(), metrics.descent(), metrics.leading());
    const std::string utf8 = detail.toStdString();
    const std::string shown = GateCardLook::detailText(utf8);
    const int lines =
        wrappedLineCount(QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size())),
                         font, GateCardLook::detailWrapWidth);
    return GateCardLook::detailBoxHeight(lineHeight, lines);
}

}  // namespace vorla::ui
