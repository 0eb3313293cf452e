#include "ui/settings/project_track.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/settings/background.h"
#include "ui/settings/page.h"
#include "ui/settings/sidebar_item.h"
#include "ui/style/palette.h"
#include "ui/widgets/flat_button.h"

namespace vorla::ui {

namespace {

constexpr std::size_t kListedFiles = 6;

}  // namespace

double axisFraction(const ProjectTrack::Axis& axis, WallTime time) {
    const double length = std::chrono::duration<double>(axis.end - axis.start).count();
    if (length <= 0) {
        return 0;
    }
    const double at = std::chrono::duration<double>(time - axis.start).count() / length;
    return std::clamp(at, 0.0, 1.0);
}

SpanStrip::SpanStrip(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(18);
}

void SpanStrip::setSpans(std::vector<std::pair<double, double>> fractions,
                         std::vector<QColor> colors, double now) {
    fractions_ = std::move(fractions);
    colors_ = std::move(colors);
    now_ = now;
    update();
}

const QWidget* ProjectTrack::strip() const {
    return strip_;
}

void SpanStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = width();
    painter.fillRect(QRectF(0, height() / 2.0 - 1, w, 2), QColor::fromRgbF(1, 1, 1, 0.08F));
    for (std::size_t i = 0; i < fractions_.size(); ++i) {
        const auto [from, to] = fractions_[i];
        QRectF bar(from * w, 3, std::max(3.0, (to - from) * w), height() - 6.0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colors_[i]);
        painter.drawRoundedRect(bar, 3, 3);
    }
    if (now_ >= 0) {
        painter.setPen(QPen(Palette::text2(), 1, Qt::DotLine));
        painter.drawLine(QPointF(now_ * w, 0), QPointF(now_ * w, height()));
    }
}

ProjectTrack::ProjectTrack(std::string project, Colorizer color, QWidget* parent)
    : QWidget(parent), project_(std::move(project)), color_(std::move(color)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 2, 0, 2);
    column->setSpacing(4);
    auto* row = new QHBoxLayout();
    QLabel* name = textLabel(project_.empty() ? QStringLiteral("—") : qstr(project_), Type::label(),
                             Palette::text(), this);
    name->setFixedWidth(150);
    row->addWidget(name);
    strip_ = new SpanStrip(this);
    row->addWidget(strip_, 1);
    count_ = textLabel({}, Type::caption(), Palette::text3(), this);
    count_->setFixedWidth(86);
    count_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(count_);
    jump_ = new FlatButton(QStringLiteral("Jump"), Palette::text2(), FlatButton::Fill::outlined,
                           FlatButton::Width::fit, this);
    connect(jump_, &QAbstractButton::clicked, this, [this] {
        if (cwd_ && onJump) {
            onJump(*cwd_);
        }
    });
    row->addWidget(jump_);
    chevron_ = new FlatButton(symbolGlyph(Symbol::chevronRight), Palette::text3(),
                              FlatButton::Fill::outlined, FlatButton::Width::fit, this);
    chevron_->setObjectName(QStringLiteral("chevron"));
    connect(chevron_, &QAbstractButton::clicked, this, [this] { setExpanded(!expanded_); });
    row->addWidget(chevron_);
    column->addLayout(row);

    details_ = new QWidget(this);
    detailLines_ = new QVBoxLayout(details_);
    detailLines_->setContentsMargins(160, 0, 0, 6);
    detailLines_->setSpacing(2);
    details_->hide();
    column->addWidget(details_);
}

void ProjectTrack::setData(std::vector<SessionSpan> spans, Axis axis,
                           std::optional<std::string> cwd) {
    spans_ = std::move(spans);
    if (cwd != cwd_) {
        cwd_ = std::move(cwd);
        peek_.reset();
        if (expanded_) {
            startPeek();
        }
    }
    std::vector<std::pair<double, double>> fractions;
    std::vector<QColor> colors;
    for (const SessionSpan& span : spans_) {
        fractions.emplace_back(axisFraction(axis, span.start), axisFraction(axis, span.end));
        colors.push_back(color_(span.agent));
    }
    strip_->setSpans(std::move(fractions), std::move(colors), axisFraction(axis, axis.now));
    const auto n = static_cast<int>(spans_.size());
    count_->setText(QString::number(n) +
                    (n == 1 ? QStringLiteral(" session") : QStringLiteral(" sessions")));
    jump_->setVisible(cwd_.has_value());
}

void ProjectTrack::setExpanded(bool expanded) {
    if (expanded_ == expanded) {
        return;
    }
    expanded_ = expanded;
    chevron_->setText(symbolGlyph(expanded ? Symbol::chevronDown : Symbol::chevronRight));
    details_->setVisible(expanded);
    if (expanded) {
        startPeek();
    }
}

void ProjectTrack::cancelPending() {
    if (loading_) {
        ++generation_;
        loading_ = false;
    }
}

void ProjectTrack::resume() {
    if (expanded_ && !loading_ && !peek_ && cwd_) {
        startPeek();
    }
}

void ProjectTrack::startPeek() {
    peek_.reset();
    if (!cwd_) {
        loading_ = false;
        showPeek();
        return;
    }
    loading_ = true;
    showPeek();
    const std::uint64_t started = ++generation_;
    runInBackground<DiffPeek>(
        this, [cwd = *cwd_] { return DiffPeek::load(cwd); },
        [this, started](DiffPeek peek) {
            if (started != generation_) {
                return;
            }
            loading_ = false;
            peek_ = std::move(peek);
            showPeek();
        });
}

void ProjectTrack::addPeekLine(const QString& text, const QColor& color) {
    detailLines_->addWidget(textLabel(text, Type::caption(), color, details_));
}

void ProjectTrack::showPeek() {
    while (QLayoutItem* item = detailLines_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (!cwd_) {
        addPeekLine(QStringLiteral("No live session — nothing to diff."), Palette::text3());
        return;
    }
    if (loading_ || !peek_) {
        addPeekLine(QStringLiteral("Reading ") + tildePath(*cwd_) + QStringLiteral("…"),
                    Palette::text3());
        return;
    }
    if (!peek_->isRepo) {
        addPeekLine(QStringLiteral("Not a git repository."), Palette::text3());
        return;
    }
    if (peek_->files.empty() && peek_->untracked == 0) {
        addPeekLine(QStringLiteral("Working tree clean."), Palette::green());
        return;
    }
    addPeekLine(qstr(peek_->branch), Palette::pink());
    for (std::size_t i = 0; i < std::min(kListedFiles, peek_->files.size()); ++i) {
        const DiffPeek::FileChange& file = peek_->files[i];
        addPeekLine(qstr(file.path) + QStringLiteral("  +") + QString::number(file.added) +
                        QStringLiteral(" -") + QString::number(file.removed),
                    Palette::text2());
    }
    if (peek_->files.size() > kListedFiles) {
        addPeekLine(QStringLiteral("+") + QString::number(peek_->files.size() - kListedFiles) +
                        QStringLiteral(" more files"),
                    Palette::text3());
    }
    if (peek_->untracked != 0) {
        addPeekLine(QString::number(peek_->untracked) + QStringLiteral(" untracked"),
                    Palette::text3());
    }
}

QStringList ProjectTrack::peekLines() const {
    QStringList lines;
    for (int i = 0; i < detailLines_->count(); ++i) {
        if (auto* label = qobject_cast<QLabel*>(detailLines_->itemAt(i)->widget())) {
            lines << label->text();
        }
    }
    return lines;
}

}  // namespace vorla::ui
