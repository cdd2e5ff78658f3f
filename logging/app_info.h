// Fixed texts of the application: its title (caption of every message box) and version.
#pragma once

namespace kvu {

inline constexpr const char* kAppTitle = "Nalto KVU Utility";
// What the About box and the start line show; the file version resource is 2.0.6.0.
inline constexpr const char* kVersionText = "2.0";

}  // namespace kvu
