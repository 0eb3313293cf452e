#include "ui/island/panel_header.h"

#include <QHBoxLayout>
#include <QLabel>

#include "ui/style/palette.h"
#include "ui/widgets/icon_button.h"

namespace vorla::ui {

PanelHeader::PanelHeader(std::function<void()> onSettings, std::function<void()> onQuit,
                         QWidget* parent)
    : QWidget(parent), count_(new QLabel(this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);

    auto* title = new QLabel(QStringLiteral("VORLA AGENTS"), this);
    QFont section = Type::section();
    section.setLetterSpacing(QFont::AbsoluteSpacing, 1.6);
    title->setFont(section);
    title->setStyleSheet(QStringLiteral("color: %1").arg(Palette::text3().name(QColor::HexArgb)));
    count_->setFont(Type::mono(11));
    count_->setStyleSheet(QStringLiteral("color: %1").arg(Palette::text2().name(QColor::HexArgb)));

    auto* settings = new IconButton(IconButton::Glyph::gear, Palette::text2(), 24, this);
    settings->setToolTip(QStringLiteral("Settings…"));
    connect(settings, &IconButton::clicked, this, [onSettings = std::move(onSettings)] {
        if (onSettings) {
            onSettings();
        }
    });
    auto* quit = new IconButton(IconButton::Glyph::power, Palette::pink(), 24, this);
    quit->setToolTip(QStringLiteral("Quit Vorla Agents"));
    connect(quit, &IconButton::clicked, this, [onQuit = std::move(onQuit)] {
        if (onQuit) {
            onQuit();
        }
    });

    row->addWidget(title);
    row->addWidget(count_);
    row->addStretch(1);
    row->addWidget(settings);
    row->addWidget(quit);
    setActiveCount(0);
}

void PanelHeader::setActiveCount(std::size_t count) {
    count_->setText(QString::number(count) + QStringLiteral(" active"));
}

}  // namespace vorla::ui
