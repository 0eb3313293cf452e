// The island's content: collapsed ears, the victory lap, or the expanded
// panel with its header, collision warning and either the session list or
// the open gate's card. It observes the session store and the island's view
// state, and changes nothing but the view state's measured height and,
// through the gate card, the gate's decision.
//
// Main thread only. The store and the view state must outlive the view.
#pragma once

#include <QPainterPath>
#include <QRegion>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "engine/look/island_layout.h"
#include "engine/look/island_shape.h"
#include "engine/look/island_view_state.h"
#include "engine/session/session_store.h"
#include "engine/support/observable.h"

namespace vorla::ui {

class CollapsedEars;
class ExpandedPanel;
class LapView;

struct IslandActions {
    std::function<void()> onSettings;
    std::function<void()> onQuit;
    std::function<void(const Gate&)> onTeachRule;
};

class IslandView final : public QWidget {
    Q_OBJECT
  public:
    IslandView(SessionStore& store, IslandViewState& viewState, NotchGeometry geo,
               IslandActions actions, QWidget* parent = nullptr);

    // The island's outline for a window of `size` in the current mode, and
    // its inside as whole pixels (the window's shape mask).
    [[nodiscard]] QPainterPath outline(QSizeF size) const;
    [[nodiscard]] QRegion mask(QSize size) const;
    [[nodiscard]] IslandLayout::Mode mode() const { return mode_; }

    // Called after every change of what the view shows (the store's, the
    // view state's, or a session's own fields).
    std::function<void()> onRefreshed;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Settings… and Quit: the way in on desktops without a tray.
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    [[nodiscard]] IslandShape shape() const;
    void storeChanged();
    void sessionChanged();
    void refresh();
    void placePages();
    void reportHeight();
    // A short fade-in of the page a state change brings, while on screen.
    void fadeIn(QWidget* page);

    SessionStore& store_;
    IslandViewState& viewState_;
    const NotchGeometry geo_;
    std::function<void()> onSettings_;
    std::function<void()> onQuit_;
    IslandLayout::Mode mode_ = IslandLayout::Mode::collapsed;
    CollapsedEars* ears_;
    LapView* lap_;
    ExpandedPanel* panel_;
    std::optional<Source> lapAgent_;  // the celebration the lap runs for
    bool heightReportQueued_ = false;
    bool refreshQueued_ = false;
    std::vector<SessionStore::SessionRef> watched_;
    std::vector<Subscription> sessionSubscriptions_;
    Subscription storeSubscription_;
    Subscription viewStateSubscription_;
};

}  // namespace vorla::ui
