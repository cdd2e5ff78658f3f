// Ctrl+C and termination requests for a long-running command: the first one calls the handler on
// a thread of its own (so it may post to the event loop), a second one ends the process at once.
#pragma once

#include <functional>

namespace kvu::ctl {

// Call before any other thread starts (the log's flusher included), so that every thread
// leaves the signals to the watcher that watchInterrupts starts.
void blockInterrupts();
void watchInterrupts(std::function<void()> onFirst);

}  // namespace kvu::ctl
