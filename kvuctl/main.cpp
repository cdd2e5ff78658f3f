#include "kvuctl/ctl_program.h"

int main(int argc, char** argv) {
    return kvu::ctl::runProgram(argc, argv);
}
