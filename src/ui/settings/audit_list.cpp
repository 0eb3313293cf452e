#include "ui/settings/audit_list.h"

#include <QDateTime>
#include <QPaintEvent>
#include <QPainter>

#include "core/protocol.h"
#include "engine/policy/risk_engine.h"
#include "ui/settings/page.h"
#include "ui/style/palette.h"

namespace vorla::ui {

namespace {

QString agentName(const std::string& agent) {
    if (auto source = sourceFromRaw(agent)) {
        std::string_view name = displayName(*source);
        return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    return qstr(agent);
}

QString clockTime(WallTime time) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count()).toString(QStringLiteral("HH:mm:ss"));
}

QColor kindColor(AuditKind kind) {
    if (isDenial(kind)) {
        return Palette::pink();
    }
    if (kind == AuditKind::approved || kind == AuditKind::autoAllowed) {
        return Palette::green();
    }
    return Palette::text2();
}

QColor riskColor(int level) {
    return level >= 3 ? Palette::pink() : level == 2 ? Palette::yellow() : Palette::text3();
}

}  // namespace

AuditList::AuditList(QWidget* parent)
    : QWidget(parent), rowHeight_(QFontMetrics(Type::caption()).height() + 8) {
    setFont(Type::caption());
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void AuditList::setEntries(const std::vector<AuditEntry>& entries) {
    rows_.clear();
    rows_.reserve(entries.size());
    for (const AuditEntry& entry : entries) {
        Row row{clockTime(entry.ts),
                agentName(entry.agent),
                qstr(std::string(entry.kindText())),
                qstr(entry.tool),
                {}};
        row.kindOf = entry.kind;
        if (!entry.detail.empty()) {
            row.what += QStringLiteral("  ") + qstr(entry.detail);
        }
        if (entry.risk) {
            if (auto risk = riskFromRaw(*entry.risk)) {
                std::string_view name = label(*risk);
                row.risk = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
                row.riskLevel = *entry.risk;
            }
        }
        rows_.push_back(std::move(row));
    }
    setFixedHeight(rowHeight_ * std::max(1, rowCount()));
    updateGeometry();
    update();
}

QStringList AuditList::row(int index) const {
    const Row& r = rows_.at(static_cast<std::size_t>(index));
    return {r.time, r.agent, r.kind, r.what, r.risk};
}

QSize AuditList::sizeHint() const {
    return {600, rowHeight_ * std::max(1, rowCount())};
}

void AuditList::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const int first = std::max(0, event->rect().top() / rowHeight_);
    const int last = std::min(rowCount() - 1, event->rect().bottom() / rowHeight_);
    const int w = width();
    // Columns: time, agent, kind, what (flexible), risk.
    const int xAgent = 74, xKind = 174, xWhat = 274, riskWidth = 112;
    for (int i = first; i <= last; ++i) {
        const Row& r = rows_[static_cast<std::size_t>(i)];
        const int y = i * rowHeight_;
        if (i % 2 == 0) {
            painter.fillRect(0, y, w, rowHeight_, QColor::fromRgbF(1, 1, 1, 0.03F));
        }
        auto cell = [&](int x, int width, const QString& text, const QColor& color) {
            painter.setPen(color);
            QRect box(x + 6, y, width - 10, rowHeight_);
            painter.drawText(box, Qt::AlignVCenter | Qt::AlignLeft,
                             painter.fontMetrics().elidedText(text, Qt::ElideRight, box.width()));
        };
        cell(0, xAgent, r.time, Palette::text3());
        cell(xAgent, xKind - xAgent, r.agent, Palette::text());
        cell(xKind, xWhat - xKind, r.kind, kindColor(r.kindOf));
        cell(xWhat, w - riskWidth - xWhat, r.what, Palette::text2());
        cell(w - riskWidth, riskWidth, r.risk, riskColor(r.riskLevel));
    }
}

}  // namespace vorla::ui
