// The analysis pass over an image: which controller memory regions its address records touch, for a
// controller in a given connection state, so that exactly those regions are erased before the transfer.
#pragma once

#include "engine/download/ImageSource.h"

#include <cstdint>
#include <functional>

// The analysis pass takes one progress step per this many examined bytes plus one.
constexpr uint32_t kImageAnalysisStepBytes = 10000;

// Reads source from its current position to its end and returns the region set (RegionOs,
// RegionApplication, RegionCommBoard) for connectState (0 none, 1 BIOS, 2 bootstrap). After every 0x7E
// the next nine bytes are taken as one record and not searched again; a record cut short before its
// four address bytes is ignored. progressStep, when set, is called each time more than
// kImageAnalysisStepBytes bytes have been examined one by one (the bytes after a marker do not count).
// A failing source ends the pass like the end of the file: the pass reports no errors.
int AnalyzeImageRegions(IImageByteSource& source, int connectState,
                        const std::function<void()>& progressStep = {});
