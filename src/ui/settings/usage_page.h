// Usage: token usage and estimated cost of the last seven days, read from
// the transcripts in the background each time the page appears.
// Interface thread only.
#pragma once

#include <optional>

#include "engine/usage/usage_store.h"
#include "ui/settings/page.h"

namespace vorla::ui {

class UsagePage final : public Page {
    Q_OBJECT
  public:
    explicit UsagePage(SettingsContext& context, QWidget* parent = nullptr);

    [[nodiscard]] bool loading() const { return loading_; }

  protected:
    void appeared() override;

  private:
    void rebuild();
    void addTiles(const UsageSnapshot& snapshot);
    void addDays(const UsageSnapshot& snapshot);
    void addModels(const UsageSnapshot& snapshot);

    std::optional<UsageSnapshot> snapshot_;
    bool loading_ = false;
};

// "$12.34"
[[nodiscard]] QString dollars(double cost);

}  // namespace vorla::ui
