// Tells the platform's restart manager that the program may be restarted after an update or a
// crash (restart only: no autosave, no recovery). Only Windows has one.
#pragma once

namespace kvu {

#ifdef _WIN32
void registerRestartSupport();
#else
inline void registerRestartSupport() {}
#endif

}  // namespace kvu
