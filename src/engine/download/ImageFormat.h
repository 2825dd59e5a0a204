// The software image file's vocabulary: the address record's bytes, the fill byte, the largest gap a
// writer fills, and the controller memory regions an address belongs to by connection state.
#pragma once

#include <cstddef>
#include <cstdint>

// Region set bits: which controller memory regions an image touches.
constexpr int RegionOs = 1;
constexpr int RegionApplication = 2;
constexpr int RegionCommBoard = 4;

// Address record: "~MR:", four address bytes (most significant first), ":".
constexpr uint8_t kImageMarker = 0x7E;
constexpr uint8_t kImageTag[3] = {'M', 'R', ':'};
constexpr uint8_t kImageRecordClose = ':';
constexpr size_t kImageAddressBytes = 4;
constexpr size_t kImageRecordBytes = 1 + 3 + kImageAddressBytes + 1;

// Written into short address gaps, and at most this many bytes of it before a record.
constexpr uint8_t kImageFillByte = 0xFF;
constexpr uint32_t kImageMaxFill = 252;
// Gaps up to this size are filled without a new record.
constexpr uint32_t kImageMaxGapWithoutRecord = 8;

// The largest data frame of the transfer.
constexpr size_t kImageBlockBytes = 252;

// The region an address belongs to for a controller in connectState (0 none, 1 BIOS, 2 bootstrap); 0 for
// the bootstrap's own area below 0x10000, which no region covers.
int ImageRegionOfAddress(uint32_t address, int connectState);

// Address bytes of a record as a number (most significant byte first).
inline uint32_t ImageAddressValue(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

// The part of the image a record starts, as the staged programming sees it: true for the high part
// (bits 16 to 23 of the address 0x10 or more), whatever the connection state.
inline bool ImageIsHighPart(const uint8_t* addressBytes) {
    return addressBytes[1] >= 0x10;
}
