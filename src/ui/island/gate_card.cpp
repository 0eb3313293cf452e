#include "ui/island/gate_card.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "engine/look/gate_card_look.h"
#include "engine/look/pixel_sprite.h"
#include "engine/support/path_component.h"
#include "ui/island/detail_box.h"
#include "ui/style/palette.h"

namespace vorla::ui {

namespace {

constexpr double kCorner = 9;
constexpr int kPadding = 12;

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* label(const QString& text, const QFont& font, const QColor& colour, QWidget* parent) {
    auto* widget = new QLabel(text, parent);
    widget->setFont(font);
    widget->setTextFormat(Qt::PlainText);
    widget->setStyleSheet(QStringLiteral("color: %1").arg(colour.name(QColor::HexArgb)));
    return widget;
}

// The risk row's 7 x 7 dot.
class Dot final : public QWidget {
  public:
    Dot(const QColor& colour, QWidget* parent) : QWidget(parent), colour_(colour) {
        setFixedSize(7, 7);
    }

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour_);
        painter.drawEllipse(rect());
    }

  private:
    QColor colour_;
};

// An on/off switch: a pill with a knob, green when on.
class Switch final : public QAbstractButton {
  public:
    explicit Switch(const QString& text, QWidget* parent) : QAbstractButton(parent) {
        setText(text);
        setCheckable(true);
        setFocusPolicy(Qt::NoFocus);
        setFont(Type::caption());
        setCursor(Qt::PointingHandCursor);
    }

    [[nodiscard]] QSize sizeHint() const override {
        return {kPill.width() + 8 + fontMetrics().horizontalAdvance(text()),
                std::max(kPill.height(), fontMetrics().height())};
    }

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF pill(0, (height() - kPill.height()) / 2.0, kPill.width(), kPill.height());
        painter.setPen(Qt::NoPen);
        painter.setBrush(isChecked() ? Palette::green() : Palette::withOpacity(Qt::white, 0.18));
        painter.drawRoundedRect(pill, pill.height() / 2, pill.height() / 2);
        const double knob = pill.height() - 4;
        const double x = isChecked() ? pill.right() - 2 - knob : pill.left() + 2;
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(x, pill.top() + 2, knob, knob));
        painter.setPen(Palette::text2());
        painter.drawText(rect().adjusted(kPill.width() + 8, 0, 0, 0),
                         Qt::AlignVCenter | Qt::AlignLeft, text());
    }

  private:
    static constexpr QSize kPill{26, 15};
};

QPushButton* actionButton(const QString& text, const QColor& colour, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(Type::system(13, QFont::DemiBold));
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: black; border: none;"
                                         " border-radius: 7px; padding: 7px 0; }"
                                         "QPushButton:pressed { background: %2; }")
                              .arg(colour.name(), colour.darker(125).name()));
    return button;
}

QWidget* bossBanner(QWidget* parent) {
    auto* banner = new QWidget(parent);
    auto* row = new QHBoxLayout(banner);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    QFont heavy = Type::system(12, QFont::Black);
    heavy.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    row->addWidget(label(QStringLiteral("⚠ BOSS FIGHT"), heavy, Palette::pink(), banner));
    row->addWidget(label(QStringLiteral("destructive"), Type::system(10, QFont::Bold),
                         Palette::text2(), banner));
    row->addStretch(1);
    return banner;
}

QWidget* riskRow(const RiskVerdict& verdict, QWidget* parent) {
    auto* widget = new QWidget(parent);
    auto* row = new QHBoxLayout(widget);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    const QColor tint = Palette::fromRgb(GateCardLook::riskTint(verdict.level));
    row->addWidget(new Dot(tint, widget));
    row->addWidget(label(qs(vorla::label(verdict.level)), Type::mono(11), tint, widget));
    QStringList reasons;
    for (const auto& reason : verdict.reasons) {
        reasons << QString::fromStdString(reason);
    }
    if (!reasons.isEmpty()) {
        auto* why = label(reasons.join(QStringLiteral(", ")), Type::mono(11),
                          Palette::withOpacity(tint, 0.6), widget);
        why->setWordWrap(true);
        row->addWidget(why, 1);
    } else {
        row->addStretch(1);
    }
    return widget;
}

}  // namespace

GateCard::GateCard(const Session& session, std::shared_ptr<const Gate> gate, Actions actions,
                   QWidget* parent)
    : QWidget(parent),
      gate_(std::move(gate)),
      actions_(std::move(actions)),
      detail_(new DetailBox(qs(GateCardLook::detailText(gate_->detail)), this)),
      deny_(actionButton(QStringLiteral("Deny"), Palette::pink(), this)),
      allow_(actionButton(QStringLiteral("Allow"), Palette::green(), this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column->setSpacing(10);
    if (isBoss()) {
        column->addWidget(bossBanner(this));
    }
    auto* title = new QHBoxLayout;
    title->setSpacing(8);
    title->addWidget(
        label(qs(displayName(session.source())), Type::label(), Palette::text(), this));
    title->addWidget(label(QStringLiteral("needs approval · ") +
                               QString::fromStdString(lastPathComponent(session.cwd())),
                           Type::caption(), Palette::yellow(), this),
                     1);
    column->addLayout(title);
    column->addWidget(riskRow(gate_->risk, this));
    column->addWidget(detail_);
    const auto unlearnable = RiskEngine::unlearnableReason(gate_->toolName, gate_->detail);
    if (unlearnable && GateCardLook::offersAlwaysAllow(gate_->risk.level, true)) {
        // Said instead of offering a switch that would teach a rule allowing any program.
        auto* note =
            label(QStringLiteral("Allow once only: ") + QString::fromStdString(*unlearnable),
                  Type::caption(), Palette::text2(), this);
        note->setWordWrap(true);
        column->addWidget(note);
    } else if (GateCardLook::offersAlwaysAllow(gate_->risk.level, bool(actions_.teachRule))) {
        const std::string key = RiskEngine::ruleKey(gate_->toolName, gate_->detail);
        switch_ = new Switch(QString::fromStdString(GateCardLook::alwaysAllowLabel(key)), this);
        column->addWidget(switch_);
    }
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addWidget(deny_);
    buttons->addWidget(allow_);
    column->addLayout(buttons);

    connect(deny_, &QPushButton::clicked, this, [this] {
        if (actions_.decide) {
            actions_.decide(gate_->id, Behavior::deny);
        }
    });
    connect(allow_, &QPushButton::clicked, this, &GateCard::allow);

    clock = [] { return PixelSprite::spriteTimeNow(); };
    pulse_.setSingleShot(true);
    connect(&pulse_, &QTimer::timeout, this, [this] {
        update();
        schedulePulse();
    });
}

bool GateCard::isBoss() const {
    return gate_->risk.level == Risk::critical;
}

// The rule is taught before the gate is answered, so the next identical call
// already finds it.
void GateCard::allow() {
    const auto gate = gate_;  // answering may end this card
    if (switch_ != nullptr && switch_->isChecked() && actions_.teachRule) {
        actions_.teachRule(*gate);
    }
    if (actions_.decide) {
        actions_.decide(gate->id, Behavior::allow);
    }
}

void GateCard::schedulePulse() {
    if (isBoss() && isVisible()) {
        pulse_.start(static_cast<int>(std::ceil(GateCardLook::untilNextPulse(clock()) * 1000)));
    }
}

void GateCard::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    schedulePulse();
}

void GateCard::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    pulse_.stop();
}

void GateCard::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (!isBoss()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Palette::withOpacity(Qt::white, 0.05));
        painter.drawRoundedRect(box, kCorner, kCorner);
        return;
    }
    const auto pulse = GateCardLook::bossPulse(clock());
    painter.setPen(QPen(Palette::withOpacity(Palette::pink(), pulse.outlineOpacity), 1));
    painter.setBrush(Palette::withOpacity(Palette::pink(), pulse.fillOpacity));
    painter.drawRoundedRect(box, kCorner, kCorner);
}

}  // namespace vorla::ui
