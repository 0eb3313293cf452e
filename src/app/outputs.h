// The platform outputs each composition hands to AppCore. Main thread only.
#pragma once

#include "app/app_core.h"

namespace vorla::app {

// The desktop app: SDL audio for the cues and desktop notifications.
// Without the interface built (-DVORLA_GUI=OFF): neither.
[[nodiscard]] AppCore::Outputs desktopOutputs();

// --headless never opens an audio device; it posts notifications when the
// session bus has a notification service (and notifyEnabled is on).
[[nodiscard]] AppCore::Outputs headlessOutputs();

}  // namespace vorla::app
