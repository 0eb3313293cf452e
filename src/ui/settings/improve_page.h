// Improve: rules it could learn, mined from the last seven days of the audit
// log in the background; "Teach it" adds the rule, "Dismiss" hides the
// suggestion while the window stays open. Interface thread only.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/records/improve.h"
#include "engine/support/observable.h"
#include "ui/settings/page.h"

namespace vorla::ui {

class ImprovePage final : public Page {
    Q_OBJECT
  public:
    explicit ImprovePage(SettingsContext& context, QWidget* parent = nullptr);

  protected:
    void appeared() override;

  private:
    void rebuild();
    void addCard(const Suggestion& suggestion);

    std::vector<Suggestion> suggestions_;
    std::set<std::string> dismissed_;
    bool loading_ = false;
    Subscription rulesChanges_;
};

}  // namespace vorla::ui
