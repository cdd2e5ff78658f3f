// Ctrl+C, termination and hang-up requests for every command: the first one calls `onFirst` on a
// thread of its own (so it may post to the event loop), a second one calls `onSecond` there, then
// ends the process with 128 + the signal.
#pragma once

#include <functional>

namespace kvu::ctl {

// Call before any other thread starts (the log's flusher included), so that every thread
// leaves the signals to the watcher that watchInterrupts starts. A signal ignored when the
// program started (nohup) stays ignored; a closed pipe is an error of the write, not a signal.
void blockInterrupts();
void watchInterrupts(std::function<void(int signo)> onFirst,
                     std::function<void(int signo)> onSecond);

// The results are recorded: a console close that waits for them may let the process end
// (Windows; nothing on POSIX).
void interruptsSettled();

}  // namespace kvu::ctl
