#include "ui/settings/page.h"

#include <QHBoxLayout>
#include <QLayoutItem>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "core/paths.h"
#include "ui/style/palette.h"
#include "ui/widgets/card.h"

namespace vorla::ui {

Page::Page(SettingsContext& context, const QString& head, const QString& blurb, QWidget* parent)
    : QWidget(parent), context_(context) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The platform's light scroll bar would cut a bright stripe into the page.
    scroll->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 10px; margin: 2px; }"
        "QScrollBar::handle:vertical { background: rgba(255, 255, 255, 40); border-radius: 3px;"
        " min-height: 32px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: none; }"));
    outer->addWidget(scroll);

    auto* inner = new QWidget(scroll);
    auto* column = new QVBoxLayout(inner);
    column->setContentsMargins(28, 44, 28, 24);
    column->setSpacing(10);

    headRow_ = new QWidget(inner);
    auto* headLayout = new QHBoxLayout(headRow_);
    headLayout->setContentsMargins(0, 0, 0, 0);
    headLayout->addWidget(textLabel(head, Type::heading(), Palette::text3(), headRow_));
    headLayout->addStretch(1);
    column->addWidget(headRow_);
    if (!blurb.isEmpty()) {
        column->addWidget(paragraph(blurb, inner));
    }
    body_ = new QVBoxLayout();
    body_->setSpacing(8);
    column->addLayout(body_);
    column->addStretch(1);
    scroll->setWidget(inner);
}

void Page::appear() {
    appeared();
}

void Page::leave() {
    ++visit_;
}

namespace {

// Hides and schedules for deletion every widget in `layout`, nested layouts
// included (a page may be rebuilt from inside one of its own buttons).
void clearLayout(QLayout* layout) {
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        } else if (QLayout* inner = item->layout()) {
            clearLayout(inner);
        }
        delete item;
    }
}

}  // namespace

void Page::clearBody() {
    clearLayout(body_);
}

void Page::setHeadAccessory(QWidget* widget) {
    widget->setParent(headRow_);
    headRow_->layout()->addWidget(widget);
}

QLabel* textLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setStyleSheet(Palette::css(color));
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* paragraph(const QString& text, QWidget* parent) {
    QLabel* label = textLabel(text, Type::body(), Palette::text2(), parent);
    label->setWordWrap(true);
    return label;
}

QWidget* emptyBox(const QString& text, QWidget* parent) {
    auto* card = new Card(Palette::cardFill(), 22, parent);
    QLabel* label = textLabel(text, Type::caption(), Palette::text3(), card);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    card->content()->addWidget(label);
    return card;
}

QWidget* tile(const QString& caption, const QString& value, const QString& note,
              const QString& badge, QWidget* parent) {
    auto* card = new Card(Palette::cardFill(), 12, parent);
    card->content()->setSpacing(2);
    card->content()->addWidget(textLabel(caption, Type::heading(), Palette::text3(), card));
    card->content()->addWidget(textLabel(value, Type::figure(), Palette::text(), card));
    if (!note.isEmpty()) {
        card->content()->addWidget(textLabel(note, Type::caption(), Palette::text3(), card));
    }
    if (!badge.isEmpty()) {
        card->content()->addWidget(textLabel(badge, Type::mono(10), Palette::yellow(), card));
    }
    return card;
}

QString qstr(const std::string& text) {
    return QString::fromStdString(text);
}

QString tildePath(const std::string& path) {
    const std::string home = homeDirectory();
    if (home.size() > 1 && (path == home || path.starts_with(home + "/"))) {
        return qstr("~" + path.substr(home.size()));
    }
    return qstr(path);
}

}  // namespace vorla::ui
