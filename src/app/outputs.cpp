#include "app/outputs.h"

#if VORLA_GUI
#include "ui/desktop_notifications.h"
#include "ui/login_item.h"
#include "ui/sound_output.h"
#endif

namespace vorla::app {

AppCore::Outputs desktopOutputs() {
    AppCore::Outputs outputs = headlessOutputs();
#if VORLA_GUI
    outputs.audio = std::make_unique<ui::SoundOutput>();
    outputs.loginItems =
        std::make_unique<ui::XdgLoginItems>(ui::XdgLoginItems::runningExecutable());
#endif
    return outputs;
}

AppCore::Outputs headlessOutputs() {
    AppCore::Outputs outputs;
#if VORLA_GUI
    outputs.notifications = std::make_unique<ui::DesktopNotifications>();
#endif
    return outputs;
}

}  // namespace vorla::app
