#include "ui/settings/today_page.h"

#include <QHBoxLayout>
#include <QHideEvent>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>
#include <cmath>

#include "engine/look/creature.h"
#include "engine/records/audit_log.h"
#include "engine/records/timeline.h"
#include "engine/session/session_store.h"
#include "engine/support/calendar.h"
#include "engine/support/path_component.h"
#include "ui/settings/project_track.h"
#include "ui/style/palette.h"
#include "ui/widgets/card.h"

namespace vorla::ui {

namespace {

using std::chrono::hours;

QColor agentColor(const std::string& agent) {
    const auto source = sourceFromRaw(agent);
    const auto colour = source ? Creature::colour(*source) : std::nullopt;
    return colour ? Palette::fromRgb(*colour) : Palette::text2();
}

// Whole hours from the first span (or the start of the day) to now or the
// last span, at least three.
ProjectTrack::Axis dayAxis(const DayTimeline& timeline, WallTime now) {
    WallTime first = now - hours(3);
    WallTime last = now;
    for (const SessionSpan& span : timeline.spans) {
        first = std::min(first, span.start);
        last = std::max(last, span.end);
    }
    const WallTime dayStart = startOfDay(now);
    first = std::max(first, dayStart);
    const auto fromDay = std::chrono::duration_cast<hours>(first - dayStart);
    WallTime start = dayStart + fromDay;
    const auto length =
        std::chrono::duration_cast<hours>(last - start + hours(1) - std::chrono::seconds(1));
    return {start, start + std::max(length, hours(3)), now};
}

// Hour labels under the tracks, aligned with their strips.
class HourAxis final : public QWidget {
  public:
    HourAxis(ProjectTrack::Axis axis, const QWidget* strip, QWidget* parent = nullptr)
        : QWidget(parent), axis_(axis), strip_(strip) {
        setFixedHeight(16);
        setFont(Type::mono(10));
    }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    ProjectTrack::Axis axis_;
    QPointer<const QWidget> strip_;  // a track's strip, whose span the labels share
};

}  // namespace

QString hourLabel(int hour) {
    const int twelve = hour % 12 == 0 ? 12 : hour % 12;
    return QString::number(twelve) + (hour < 12 ? QStringLiteral("a") : QStringLiteral("p"));
}

void HourAxis::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    double left = 156, right = width() - 190.0;
    if (!strip_.isNull()) {
        left = strip_->mapTo(window(), QPoint(0, 0)).x() - mapTo(window(), QPoint(0, 0)).x();
        right = left + strip_->width();
    }
    const double nowX = left + axisFraction(axis_, axis_.now) * (right - left);
    const int count =
        static_cast<int>(std::chrono::duration_cast<hours>(axis_.end - axis_.start).count());
    const int step = count > 12 ? 3 : count > 6 ? 2 : 1;
    painter.setPen(Palette::text3());
    for (int i = 0; i <= count; i += step) {
        const WallTime at = axis_.start + hours(i);
        const double x = left + axisFraction(axis_, at) * (right - left);
        if (std::abs(x - nowX) < 30) {
            continue;  // "now" takes the place
        }
        painter.drawText(QRectF(x - 20, 0, 40, height()), Qt::AlignCenter,
                         hourLabel(localHour(at)));
    }
    painter.setPen(Palette::pink());
    painter.drawText(QRectF(nowX - 20, 0, 40, height()), Qt::AlignCenter, QStringLiteral("now"));
}

TodayPage::TodayPage(SettingsContext& context, QWidget* parent)
    : Page(context, QStringLiteral("Today"),
           QStringLiteral("Every session that ran today, by project. The total is wall-clock time "
                          "with at least one agent working — agents run in parallel, so adding "
                          "their durations up would invent hours you never spent."),
           parent) {
    auditChanges_ = context_.auditLog.subscribe([this] { rebuild(); });
    // Sessions change with every agent event: only the live folders matter
    // here, so a hidden page catches up when it appears.
    storeChanges_ = context_.store.subscribe([this] {
        if (isVisible()) {
            rebuild();
        }
    });
    clock_.setInterval(30000);
    connect(&clock_, &QTimer::timeout, this, &TodayPage::rebuild);
    rebuild();
}

TodayPage::~TodayPage() = default;

ProjectTrack* TodayPage::track(const std::string& project) const {
    auto it = tracks_.find(project);
    return it == tracks_.end() ? nullptr : it->second;
}

void TodayPage::appeared() {
    clock_.start();
    rebuild();
    for (auto& [project, track] : tracks_) {
        track->resume();
    }
}

void TodayPage::hideEvent(QHideEvent* event) {
    clock_.stop();
    for (auto& [project, track] : tracks_) {
        track->cancelPending();
    }
    Page::hideEvent(event);
}

std::optional<std::string> TodayPage::liveFolder(const std::string& project) const {
    for (const auto& session : context_.store.sessions()) {
        if (session->state() != SpriteKind::done && lastPathComponent(session->cwd()) == project) {
            return session->cwd();
        }
    }
    return std::nullopt;
}

void TodayPage::rebuild() {
    // Tracks keep their open/peek state across rebuilds: take them out of the
    // layout first, put them back in the timeline's order below.
    for (auto& [project, track] : tracks_) {
        track->hide();
        track->setParent(this);
    }
    clearBody();
    const WallTime now = context_.clock.now();
    const DayTimeline timeline = DayTimeline::build(context_.auditLog.today(), now);
    if (timeline.byProject.empty()) {
        for (auto& [project, track] : tracks_) {
            track->deleteLater();
        }
        tracks_.clear();
        body()->addWidget(
            emptyBox(QStringLiteral("Nothing today yet. Start an agent and it'll show up here.")));
        return;
    }
    auto* tiles = new QHBoxLayout();
    tiles->addWidget(tile(QStringLiteral("Active"), qstr(timeline.activeDisplay())));
    tiles->addWidget(tile(QStringLiteral("Sessions"), QString::number(timeline.spans.size())));
    tiles->addWidget(tile(QStringLiteral("Projects"), QString::number(timeline.byProject.size())));
    body()->addLayout(tiles);

    const ProjectTrack::Axis axis = dayAxis(timeline, now);
    auto* card = new Card(Palette::cardFill(), 12);
    std::map<std::string, ProjectTrack*> kept;
    for (const ProjectLane& lane : timeline.byProject) {
        ProjectTrack* track = this->track(lane.project);
        if (track == nullptr) {
            track = new ProjectTrack(lane.project, agentColor);
            track->onJump = context_.openFolder;
        }
        track->setParent(card);
        track->setData(lane.spans, axis, liveFolder(lane.project));
        card->content()->addWidget(track);
        track->show();
        kept[lane.project] = track;
    }
    for (auto& [project, track] : tracks_) {
        if (!kept.contains(project)) {
            track->deleteLater();
        }
    }
    tracks_ = std::move(kept);
    const QWidget* strip = tracks_.empty() ? nullptr : tracks_.begin()->second->strip();
    card->content()->addWidget(new HourAxis(axis, strip, card));
    body()->addWidget(card);
}

}  // namespace vorla::ui
