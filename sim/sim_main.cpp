// kvu-sim: a simulated KVU device on a pseudo-terminal, for trying the utility without hardware.

#include <signal.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "sim/sim_options.h"
#include "sim/simulated_device.h"

namespace {

std::mutex outputMutex;

void say(const std::string& line) {
    std::lock_guard lock(outputMutex);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    kvu::sim::SimOptions options;
    const kvu::sim::ParseResult parsed =
        kvu::sim::parseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (!parsed.ok) {
        std::fprintf(stderr, "kvu-sim: %s\n%s", parsed.error.c_str(), kvu::sim::simUsage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kvu::sim::simUsage().c_str(), stdout);
        return 0;
    }

    // Signals are taken by sigwait below; block them before the service thread exists so it
    // inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) {
        sigaddset(&signals, s);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    // Opened before the line exists, so that a test finds the file (empty) once we serve.
    std::FILE* transcript = nullptr;
    if (!options.transcript.empty()) {
        transcript = std::fopen(options.transcript.c_str(), "a");
        if (transcript == nullptr) {
            std::perror(("kvu-sim: " + options.transcript).c_str());
            return 1;
        }
        options.config.onCommand = [transcript](const std::string& line) {
            const std::size_t size = line.ends_with('\r') ? line.size() - 1 : line.size();
            std::fwrite(line.data(), 1, size, transcript);
            std::fputc('\n', transcript);
            std::fflush(transcript);
        };
    }
    options.config.onLineChange = [](const std::string& path) {
        say(path.empty() ? std::string("kvu-sim: unplugged") : "kvu-sim: serving " + path);
    };
    kvu::sim::SimulatedDevice device(options.config);
    std::string error;
    if (!device.start(error)) {
        std::fprintf(stderr, "kvu-sim: %s\n", error.c_str());
        return 1;
    }
    say("kvu-sim: serving " + device.slavePath());

    while (true) {
        int received = 0;
        if (sigwait(&signals, &received) != 0) {
            continue;
        }
        if (received == SIGUSR1) {
            device.hangUp();
        } else if (received == SIGUSR2) {
            if (!device.replug(error)) {
                std::fprintf(stderr, "kvu-sim: %s\n", error.c_str());
            }
        } else {
            break;
        }
    }
    device.stop();
    if (transcript != nullptr) {
        std::fclose(transcript);
    }
    return 0;
}
