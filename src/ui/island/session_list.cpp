#include "ui/island/session_list.h"

#include <QLabel>
#include <QVBoxLayout>

#include "ui/island/session_row.h"
#include "ui/style/palette.h"

namespace vorla::ui {

namespace {
constexpr int kRowSpacing = 12;
constexpr int kEmptyPad = 18;
}  // namespace

SessionList::SessionList(QWidget* parent)
    : QWidget(parent),
      rows_(new QVBoxLayout(this)),
      empty_(new QLabel(QStringLiteral("No agents running"), this)) {
    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(kRowSpacing);
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setFont(Type::caption());
    empty_->setStyleSheet(QStringLiteral("color: %1; padding: %2px 0")
                              .arg(Palette::text3().name(QColor::HexArgb))
                              .arg(kEmptyPad));
    rows_->addWidget(empty_);
}

void SessionList::show(const std::vector<std::shared_ptr<Session>>& sessions) {
    if (sessions == shown_) {
        return;
    }
    shown_ = sessions;
    for (SessionRow* row : rowWidgets_) {
        row->hide();
        row->deleteLater();
    }
    rowWidgets_.clear();
    for (const auto& session : sessions) {
        auto* row = new SessionRow(session, this);
        rows_->addWidget(row);
        rowWidgets_.push_back(row);
    }
    empty_->setVisible(sessions.empty());
    updateGeometry();
}

}  // namespace vorla::ui
