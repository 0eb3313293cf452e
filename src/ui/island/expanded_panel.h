// The expanded island: a band as tall as the notch, the header, the
// collision warning when agents share a folder, then the open gate's card or
// the session list. With more content than the screen holds, the window
// stops at the screen's height and this scrolls.
//
// Main thread only. The store must outlive the panel.
#pragma once

#include <QWidget>
#include <memory>

#include "engine/look/island_layout.h"
#include "engine/session/session_store.h"
#include "ui/island/island_view.h"

class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace vorla::ui {

class GateCard;
class PanelHeader;
class SessionList;

class ExpandedPanel final : public QWidget {
    Q_OBJECT
  public:
    ExpandedPanel(SessionStore& store, NotchGeometry geo, IslandActions actions,
                  QWidget* parent = nullptr);

    // Re-reads the store: header count, warning, card or list.
    void refresh();
    // The height the whole panel wants when `width` wide, before any
    // scrolling. Asked before the window has grown to that width.
    [[nodiscard]] double contentHeight(int width) const;

    [[nodiscard]] GateCard* card() const { return card_; }

  private:
    void showCard(const SessionStore::SessionRef& session, const SessionStore::GateRef& gate);
    void showList();

    SessionStore& store_;
    const NotchGeometry geo_;
    IslandActions actions_;
    PanelHeader* header_;
    QWidget* warning_;
    QLabel* warningText_;
    QScrollArea* scroll_;
    QWidget* body_;  // the scrolled widget: card or list
    QVBoxLayout* bodyLayout_;
    GateCard* card_ = nullptr;
    SessionList* list_ = nullptr;
};

}  // namespace vorla::ui
