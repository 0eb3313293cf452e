#include "ui/island/expanded_panel.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "ui/island/gate_card.h"
#include "ui/island/panel_header.h"
#include "ui/island/session_list.h"
#include "ui/style/palette.h"

namespace vorla::ui {

namespace {

constexpr int kSide = 18;       // padding at the sides and the bottom
constexpr int kHeaderPad = 10;  // around the header
constexpr int kListPad = 10;    // around the session list

QWidget* collisionWarning(QLabel*& text, QWidget* parent) {
    auto* box = new QWidget(parent);
    box->setObjectName(QStringLiteral("collision"));
    box->setAttribute(Qt::WA_StyledBackground);
    box->setStyleSheet(QStringLiteral("#collision { background: %1; border-radius: 8px; }")
                           .arg(Palette::withOpacity(Palette::pink(), 0.12).name(QColor::HexArgb)));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(11, 7, 11, 7);
    row->setSpacing(8);
    auto* title = new QLabel(QStringLiteral("⚠ COLLISION"), box);
    title->setFont(Type::mono(10, QFont::Bold));
    title->setStyleSheet(QStringLiteral("color: %1").arg(Palette::pink().name()));
    text = new QLabel(box);
    text->setFont(Type::caption());
    text->setStyleSheet(QStringLiteral("color: %1").arg(Palette::text2().name(QColor::HexArgb)));
    row->addWidget(title);
    row->addWidget(text, 1);
    return box;
}

// Removed later: the card may be taking us here from its own button's click.
void retire(QWidget* widget) {
    widget->hide();
    widget->setParent(nullptr);
    widget->deleteLater();
}

}  // namespace

ExpandedPanel::ExpandedPanel(SessionStore& store, NotchGeometry geo, IslandActions actions,
                             QWidget* parent)
    : QWidget(parent),
      store_(store),
      geo_(geo),
      actions_(std::move(actions)),
      header_(new PanelHeader(actions_.onSettings, actions_.onQuit, this)),
      warning_(collisionWarning(warningText_, this)),
      scroll_(new QScrollArea(this)),
      body_(new QWidget),
      bodyLayout_(new QVBoxLayout(body_)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kSide, static_cast<int>(geo_.notchHeight), kSide, kSide);
    column->setSpacing(0);
    auto* headerBox = new QVBoxLayout;
    headerBox->setContentsMargins(kHeaderPad, kHeaderPad, kHeaderPad, kHeaderPad);
    headerBox->addWidget(header_);
    column->addLayout(headerBox);
    column->addWidget(warning_);
    column->addWidget(scroll_, 1);

    bodyLayout_->setContentsMargins(0, 0, 0, 0);
    bodyLayout_->setSpacing(0);
    body_->setAttribute(Qt::WA_TranslucentBackground);
    scroll_->setWidget(body_);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setStyleSheet(
        QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget "
                       "{ background: transparent; }"));
    scroll_->viewport()->setAutoFillBackground(false);
}

void ExpandedPanel::refresh() {
    header_->setActiveCount(store_.sessions().size());
    const auto conflicts = store_.conflicts();
    warning_->setVisible(!conflicts.empty());
    if (!conflicts.empty()) {
        warningText_->setText(QStringLiteral("two agents editing ") +
                              QString::fromStdString(conflicts.front()));
    }
    if (auto active = store_.activeGate()) {
        showCard(active->first, active->second);
    } else {
        showList();
    }
}

void ExpandedPanel::showCard(const SessionStore::SessionRef& session,
                             const SessionStore::GateRef& gate) {
    if (list_ != nullptr) {
        retire(list_);
        list_ = nullptr;
    }
    // A new gate gets a new card, so its "Always allow" switch starts off.
    if (card_ != nullptr && card_->gateID() == gate->id) {
        return;
    }
    if (card_ != nullptr) {
        retire(card_);
    }
    GateCard::Actions actions{
        .decide = [this](const std::string& id,
                         Behavior behavior) { store_.resolveOnIsland(id, behavior); },
        .teachRule = actions_.onTeachRule,
    };
    card_ = new GateCard(*session, gate, std::move(actions), body_);
    bodyLayout_->setContentsMargins(0, 0, 0, 0);  // the card pads itself
    bodyLayout_->addWidget(card_);
}

void ExpandedPanel::showList() {
    if (card_ != nullptr) {
        retire(card_);
        card_ = nullptr;
    }
    if (list_ == nullptr) {
        list_ = new SessionList(body_);
        bodyLayout_->setContentsMargins(kListPad, kListPad, kListPad, kListPad);
        bodyLayout_->addWidget(list_);
    }
    list_->show(store_.sessions());
}

double ExpandedPanel::contentHeight(int panelWidth) const {
    const int width = panelWidth - 2 * kSide;
    const QMargins body = bodyLayout_->contentsMargins();
    QWidget* content = card_ != nullptr ? static_cast<QWidget*>(card_) : list_;
    const int contentHeight = content == nullptr ? 0
                              : content->hasHeightForWidth()
                                  ? content->heightForWidth(width - body.left() - body.right())
                                  : content->sizeHint().height();
    return geo_.notchHeight + header_->sizeHint().height() + 2 * kHeaderPad +
           (!warning_->isHidden() ? warning_->sizeHint().height() : 0) + body.top() +
           contentHeight + body.bottom() + kSide;
}

}  // namespace vorla::ui
