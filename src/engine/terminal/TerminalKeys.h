// What the terminal sends for the keys that are not characters: the arrow keys go to the controller as
// ESC '[' followed by A (up), B (down), C (right) or D (left).
#pragma once

#include <array>
#include <cstdint>

enum class EArrowKey { Up, Down, Right, Left };

constexpr std::array<uint8_t, 3> ArrowKeySequence(EArrowKey key) {
    constexpr uint8_t kFinal[] = {'A', 'B', 'C', 'D'};
    return {0x1B, '[', kFinal[static_cast<int>(key)]};
}
