// Phone: turns phone approvals on and off; while on, shows the pairing
// address as a QR code with the address beneath it. Interface thread only.
#pragma once

#include "engine/support/observable.h"
#include "ui/settings/page.h"

namespace vorla::ui {

class PhonePage final : public Page {
    Q_OBJECT
  public:
    explicit PhonePage(SettingsContext& context, QWidget* parent = nullptr);

  private:
    void rebuild();
    void addOff();
    void addOn();

    Subscription remoteChanges_;
    QString failure_;  // why the last Enable failed
};

}  // namespace vorla::ui
