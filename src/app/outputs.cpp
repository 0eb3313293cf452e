#include "app/outputs.h"

#include <cstdlib>
#include <string>

#include "app/front/hand_over.h"

#if VORLA_GUI
#include "ui/desktop/desktop_notifications.h"
#include "ui/desktop/login_item.h"
#include "ui/desktop/sound_output.h"
#endif

namespace vorla::app {

namespace {

#if VORLA_GUI
// What the autostart entry runs: the command that started us (see
// hand_over.h), else this program itself.
std::string commandPath() {
    const char* command = std::getenv(kCommandPathVariable);
    if (command != nullptr && command[0] == '/') {
        return command;
    }
    return ui::XdgLoginItems::runningExecutable();
}
#endif

}  // namespace

AppCore::Outputs desktopOutputs() {
    AppCore::Outputs outputs = headlessOutputs();
#if VORLA_GUI
    outputs.audio = std::make_unique<ui::SoundOutput>();
    outputs.loginItems = std::make_unique<ui::XdgLoginItems>(commandPath());
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
