#include "engine/download/ImageFormat.h"

namespace {

// Kept here rather than taken from the application header so that this module stands alone.
constexpr int kStateBootstrap = 2;

} // namespace

int ImageRegionOfAddress(uint32_t address, int connectState) {
    if (connectState == kStateBootstrap) {
        if (address >= 0x1E0000)
            return RegionApplication;
        if (address >= 0x1D0000)
            return RegionCommBoard;
        if (address >= 0x10000)
            return RegionOs;
        return 0;
    }
    // 0x100000 itself still belongs to the operating system.
    return address <= 0x100000 ? RegionOs : RegionApplication;
}
