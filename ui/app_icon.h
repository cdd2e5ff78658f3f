// The program's icon, for the main window, the About box and the desktop.
#pragma once

#include <QIcon>

namespace kvu::ui {

QIcon applicationIcon();

}  // namespace kvu::ui
