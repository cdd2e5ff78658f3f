// Polls a condition until it holds or a deadline passes, instead of sleeping a fixed time.
#pragma once

#include <chrono>
#include <thread>

namespace kvu::test {

template <typename Condition>
bool waitUntil(Condition condition,
               std::chrono::milliseconds within = std::chrono::milliseconds(3000)) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace kvu::test
