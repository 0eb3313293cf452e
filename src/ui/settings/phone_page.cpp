#include "ui/settings/phone_page.h"

#include <QHBoxLayout>
#include <QPixmap>
#include <QVBoxLayout>

#include "engine/phone/remote_approval.h"
#include "ui/settings/qr_image.h"
#include "ui/settings/sidebar_item.h"
#include "ui/style/palette.h"
#include "ui/widgets/card.h"
#include "ui/widgets/flat_button.h"

namespace vorla::ui {

namespace {

// Side of the QR image in device pixels, quiet zone included.
constexpr int kQRSide = 264;

}  // namespace

PhonePage::PhonePage(SettingsContext& context, QWidget* parent)
    : Page(context, QStringLiteral("Approve from your phone"),
           QStringLiteral("The bridge already blocks for up to 24 hours waiting on a human — so "
                          "answering from somewhere other than your desk costs nothing. Start a "
                          "long run, walk away, approve from the kitchen."),
           parent) {
    remoteChanges_ = context_.remote.subscribe([this] { rebuild(); });
    rebuild();
}

void PhonePage::rebuild() {
    clearBody();
    if (context_.remote.enabled()) {
        addOn();
    } else {
        addOff();
    }
}

void PhonePage::addOff() {
    RemoteApproval& remote = context_.remote;
    auto* enable = new FlatButton(QStringLiteral("Enable phone approvals"), Palette::green(),
                                  FlatButton::Fill::filled, FlatButton::Width::wide);
    connect(enable, &QAbstractButton::clicked, this, [this, &remote] {
        auto enabled = remote.enable();
        failure_ = enabled ? QString() : qstr(enabled.error().message);
        rebuild();
    });
    body()->addWidget(enable);
    if (!failure_.isEmpty()) {
        body()->addWidget(textLabel(failure_, Type::caption(), Palette::pink()));
    }
    struct Note {
        const char* text;
        Symbol icon;
    };
    const Note notes[] = {
        {"Local network only. No cloud, no account, no relay.", Symbol::lock},
        {"Off unless you turn it on — it opens a listening port.", Symbol::hidden},
        {"A fresh token each time. The QR is the only way to get it.", Symbol::qrCode},
        {"Plain HTTP, not encrypted, on every network interface of this computer: anyone on the "
         "network who sees the address can answer your agents. Use it on a network you trust.",
         Symbol::lock},
    };
    for (const Note& note : notes) {
        auto* row = new QHBoxLayout();
        QLabel* icon = textLabel(symbolGlyph(note.icon), Type::label(), Palette::pink());
        icon->setFixedWidth(22);
        row->addWidget(icon);
        row->addWidget(paragraph(QString::fromUtf8(note.text)), 1);
        body()->addLayout(row);
    }
}

void PhonePage::addOn() {
    RemoteApproval& remote = context_.remote;
    auto* card = new Card(Palette::cardFill(), 18);
    if (auto matrix = remote.qrCode()) {
        const qreal ratio = devicePixelRatioF();
        const int side = static_cast<int>(kQRSide * ratio);
        QPixmap pixmap = QPixmap::fromImage(qrImage(*matrix, pixelsPerModuleFor(*matrix, side)));
        pixmap.setDevicePixelRatio(ratio);
        auto* code = new QLabel(card);
        code->setObjectName(QStringLiteral("qr"));
        code->setPixmap(pixmap);
        code->setAlignment(Qt::AlignCenter);
        card->content()->addWidget(code);
    }
    QLabel* caption = textLabel(QStringLiteral("Scan with your phone's camera"), Type::label(),
                                Palette::text(), card);
    caption->setAlignment(Qt::AlignCenter);
    card->content()->addWidget(caption);
    QLabel* address = textLabel(qstr(remote.pairingURL()), Type::caption(), Palette::text2(), card);
    address->setAlignment(Qt::AlignCenter);
    address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    card->content()->addWidget(address);
    body()->addWidget(card);
    body()->addWidget(
        paragraph(QStringLiteral(
                      "Plain HTTP, not encrypted: listening on port %1 of every network interface. "
                      "Share this address only with your own phone, and turn it off when you are "
                      "done.")
                      .arg(remote.boundPort())));
    auto* off = new FlatButton(QStringLiteral("Turn off"), Palette::pink());
    connect(off, &QAbstractButton::clicked, this, [&remote] { remote.disable(); });
    body()->addWidget(off);
}

}  // namespace vorla::ui
