// The "File Download" window's status texts, in the order a download shows them, and all of them so a
// face can make room for the longest.
#pragma once

constexpr const char* kStatusPleaseWait = "Please wait";
constexpr const char* kStatusAnalyzing = "Analyzing File";
constexpr const char* kStatusFileNotOpened = "Unable to open file";
constexpr const char* kStatusErasing = "Erasing. Please wait while memory is erased";
constexpr const char* kStatusPreparing = "Preparing download";
constexpr const char* kStatusDownloading = "Downloading file";
constexpr const char* kStatusProgramming = "Download complete... Please wait while flash is programmed";
constexpr const char* kDownloadStatusTexts[] = {kStatusPleaseWait, kStatusAnalyzing, kStatusFileNotOpened,
                                                kStatusErasing,    kStatusPreparing, kStatusDownloading,
                                                kStatusProgramming};
