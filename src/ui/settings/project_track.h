// One project's line on the Today page: its name, its sessions' spans on the
// day's time axis in the agent's colour, the session count, "Jump" to the
// live session's folder, and a disclosure that peeks at the working tree's
// changes (git runs in the background).
//
// Interface thread only. A peek result arriving after the track is gone, or
// after cancelPending(), is dropped.
#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/records/timeline.h"
#include "engine/repo/diff_peek.h"

class QLabel;
class QVBoxLayout;

namespace vorla::ui {

class FlatButton;
class SpanStrip;

class ProjectTrack final : public QWidget {
    Q_OBJECT
  public:
    struct Axis {
        WallTime start;
        WallTime end;
        WallTime now;
    };
    using Colorizer = std::function<QColor(const std::string& agent)>;

    ProjectTrack(std::string project, Colorizer color, QWidget* parent = nullptr);

    // What the track shows; `cwd` is the folder of the project's live
    // session, if one runs.
    void setData(std::vector<SessionSpan> spans, Axis axis, std::optional<std::string> cwd);
    [[nodiscard]] const std::string& project() const { return project_; }
    [[nodiscard]] bool expanded() const { return expanded_; }
    void setExpanded(bool expanded);
    // Drops a peek still loading; it is read again when the track is shown next.
    void cancelPending();
    void resume();

    // Opens a folder in the file browser ("Jump").
    std::function<void(const std::string&)> onJump;

    // The peek's lines as shown, for tests and screen readers.
    [[nodiscard]] QStringList peekLines() const;
    // The span strip, so an hour axis below can line up with it.
    [[nodiscard]] const QWidget* strip() const;

  private:
    void startPeek();
    void showPeek();
    void addPeekLine(const QString& text, const QColor& color);

    const std::string project_;
    Colorizer color_;
    std::vector<SessionSpan> spans_;
    std::optional<std::string> cwd_;
    bool expanded_ = false;
    bool loading_ = false;
    std::optional<DiffPeek> peek_;
    std::uint64_t generation_ = 0;

    QLabel* count_;
    FlatButton* jump_;
    FlatButton* chevron_;
    SpanStrip* strip_;
    QWidget* details_;
    QVBoxLayout* detailLines_;
};

// The spans of one track drawn on the day's axis, with the "now" marker.
class SpanStrip final : public QWidget {
    Q_OBJECT
  public:
    explicit SpanStrip(QWidget* parent = nullptr);
    void setSpans(std::vector<std::pair<double, double>> fractions, std::vector<QColor> colors,
                  double now);
    [[nodiscard]] QSize sizeHint() const override { return {300, 18}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<std::pair<double, double>> fractions_;
    std::vector<QColor> colors_;
    double now_ = -1;
};

// Where `time` falls on the axis, 0 at its start and 1 at its end.
[[nodiscard]] double axisFraction(const ProjectTrack::Axis& axis, WallTime time);

}  // namespace vorla::ui
