#include "app/restart_support.h"

#include <windows.h>

namespace kvu {

void registerRestartSupport() {
    // No extra arguments on restart; a failure only means no automatic restart.
    RegisterApplicationRestart(nullptr, 0);
}

}  // namespace kvu
