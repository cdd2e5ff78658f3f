// kvuctl's exit statuses, for scripts to branch on.
#pragma once

namespace kvu::ctl {

enum ExitStatus : int {
    kExitOk = 0,        // every device succeeded (and, for diff, equals the file)
    kExitFailed = 1,    // at least one device failed or differed
    kExitBadInput = 2,  // bad usage or bad input; nothing was sent
    kExitNoDevice = 3,  // no device found
};

}  // namespace kvu::ctl
