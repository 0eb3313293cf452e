// Showing folders and files in the desktop's file browser.
//
// Interface thread only. Neither call blocks: the file manager is asked over
// D-Bus asynchronously, and when it does not answer the containing folder is
// opened instead.
#pragma once

#include <QDBusConnection>
#include <string>

namespace vorla::ui {

// Opens `folder` in the file browser (xdg-open through QDesktopServices).
void openFolder(const std::string& folder);

// Shows `file` selected through org.freedesktop.FileManager1.ShowItems on
// `bus`; opens its folder when no file manager answers within a few seconds.
void revealFile(const std::string& file,
                const QDBusConnection& bus = QDBusConnection::sessionBus());

}  // namespace vorla::ui
