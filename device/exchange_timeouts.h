// How long the utility waits for the device's reply to one command. Flash commits and erases
// take longer on the device than a plain reply.
#pragma once

#include <chrono>

namespace kvu::protocol {

struct ExchangeTimeouts {
    std::chrono::milliseconds reply{3000};  // ver, serial, get and every set line
    std::chrono::milliseconds flash{8000};  // fe and fw
};

}  // namespace kvu::protocol
