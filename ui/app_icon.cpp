#include "ui/app_icon.h"

namespace kvu::ui {

QIcon applicationIcon() {
    // Built into the program from packaging/linux, so it needs no installed file.
    return QIcon(QStringLiteral(":/kvu/kvu-utility.png"));
}

}  // namespace kvu::ui
