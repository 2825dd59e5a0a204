// Waiting in tests: on a condition, with a bound, never a sleep that hopes the work is done by then.
#pragma once

#include <chrono>
#include <thread>

// Checks the condition every millisecond or two until it holds; false if the bound passed first. The bound
// only stops a broken test from hanging, so it is generous enough for a loaded machine.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
