#include "ui/island/session_row.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "core/paths.h"
#include "engine/look/context_reading.h"
#include "ui/island/sprite_view.h"
#include "ui/style/palette.h"
#include "ui/widgets/pixel_bar.h"
#include "ui/widgets/status_chip.h"

namespace vorla::ui {

namespace {

constexpr int kSpriteColumn = 26;

QLabel* label(const QFont& font, const QColor& colour, QWidget* parent) {
    auto* text = new QLabel(parent);
    text->setFont(font);
    text->setStyleSheet(QStringLiteral("color: %1").arg(colour.name(QColor::HexArgb)));
    text->setTextFormat(Qt::PlainText);
    return text;
}

}  // namespace

QString homeShortened(const std::string& path) {
    const std::string home = homeDirectory();
    if (home.size() > 1 && path.compare(0, home.size(), home) == 0 &&
        (path.size() == home.size() || path[home.size()] == '/')) {
        return QStringLiteral("~") + QString::fromStdString(path.substr(home.size()));
    }
    return QString::fromStdString(path);
}

SessionRow::SessionRow(std::shared_ptr<Session> session, QWidget* parent)
    : QWidget(parent),
      session_(std::move(session)),
      sprite_(new SpriteView(session_->state(), session_->source(), 18, this)),
      name_(label(Type::label(), Palette::text(), this)),
      chip_(new StatusChip(session_->state(), this)),
      folder_(label(Type::caption(), Palette::text3(), this)),
      activity_(label(Type::mono(12), Palette::text2(), this)),
      tools_(label(Type::mono(11), Palette::text3(), this)),
      contextRow_(new QWidget(this)),
      contextBar_(new ContextBar(contextRow_)),
      contextText_(label(Type::mono(11), Palette::text3(), contextRow_)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    auto* spriteColumn = new QVBoxLayout;
    spriteColumn->addWidget(sprite_, 0, Qt::AlignHCenter | Qt::AlignTop);
    spriteColumn->addStretch(1);
    auto* spriteBox = new QWidget(this);
    spriteBox->setFixedWidth(kSpriteColumn);
    spriteBox->setLayout(spriteColumn);
    spriteColumn->setContentsMargins(0, 2, 0, 0);
    row->addWidget(spriteBox);

    auto* text = new QVBoxLayout;
    text->setSpacing(3);
    auto* first = new QHBoxLayout;
    first->setSpacing(8);
    first->addWidget(name_);
    first->addWidget(chip_);
    first->addStretch(1);
    auto* third = new QHBoxLayout;
    third->setSpacing(8);
    third->addWidget(activity_, 1);
    third->addWidget(tools_);
    auto* context = new QHBoxLayout(contextRow_);
    context->setContentsMargins(0, 2, 0, 0);
    context->setSpacing(8);
    context->addWidget(contextBar_, 1);
    context->addWidget(contextText_);
    text->addLayout(first);
    text->addWidget(folder_);
    text->addLayout(third);
    text->addWidget(contextRow_);
    row->addLayout(text, 1);

    name_->setText(
        QString::fromUtf8(displayName(session_->source()).data(),
                          static_cast<qsizetype>(displayName(session_->source()).size())));
    subscription_ = session_->subscribe([this] { refresh(); });
    refresh();
}

void SessionRow::refresh() {
    sprite_->setKind(session_->state());
    chip_->setKind(session_->state());
    folder_->setText(homeShortened(session_->cwd()));
    activity_->setText(QString::fromStdString(session_->activity()));
    tools_->setText(QString::number(session_->toolCount()) + QStringLiteral(" tools"));
    const auto& usage = session_->context();
    contextRow_->setVisible(usage.has_value());
    if (usage) {
        const ContextReading reading = ContextReading::of(*usage);
        contextBar_->setFraction(reading.fraction);
        contextText_->setText(QString::fromStdString(reading.text));
        const QColor colour = reading.warn ? Palette::yellow() : Palette::text3();
        contextText_->setStyleSheet(QStringLiteral("color: %1").arg(colour.name(QColor::HexArgb)));
    }
}

}  // namespace vorla::ui
