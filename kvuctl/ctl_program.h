// kvuctl from its command line to its exit status.
#pragma once

namespace kvu::ctl {

int runProgram(int argc, char** argv);

}  // namespace kvu::ctl
