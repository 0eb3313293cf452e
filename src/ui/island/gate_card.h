// The card of the open approval gate: (for a destructive call, the boss
// banner) the agent and project, the risk row, the call's detail in a box
// sized by the font's line metrics, the "Always allow" switch for read-only
// and file-writing calls, and Deny and Allow. Each new gate gets a new card,
// so the switch starts off.
//
// Main thread only.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "engine/session/gates.h"
#include "engine/session/session.h"

class QAbstractButton;
class QPushButton;

namespace vorla::ui {

class DetailBox;

class GateCard final : public QWidget {
    Q_OBJECT
  public:
    struct Actions {
        // Hands a decision to the gate with this id.
        std::function<void(const std::string& gateID, Behavior)> decide;
        // Teaches an always-allow rule; absent: no switch.
        std::function<void(const Gate&)> teachRule;
    };

    GateCard(const Session& session, std::shared_ptr<const Gate> gate, Actions actions,
             QWidget* parent = nullptr);

    [[nodiscard]] const std::string& gateID() const { return gate_->id; }
    [[nodiscard]] bool isBoss() const;
    // Null when the switch is not offered.
    [[nodiscard]] QAbstractButton* alwaysAllowSwitch() const { return switch_; }
    [[nodiscard]] QPushButton* allowButton() const { return allow_; }
    [[nodiscard]] QPushButton* denyButton() const { return deny_; }
    [[nodiscard]] DetailBox* detailBox() const { return detail_; }

    // The boss card's pulse reads this clock (seconds); tests set it.
    std::function<double()> clock;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void allow();
    void schedulePulse();

    std::shared_ptr<const Gate> gate_;
    Actions actions_;
    DetailBox* detail_;
    QAbstractButton* switch_ = nullptr;
    QPushButton* deny_;
    QPushButton* allow_;
    QTimer pulse_;
};

}  // namespace vorla::ui
