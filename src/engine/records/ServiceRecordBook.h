// The record files: one per day under $XDG_DATA_HOME/dravik/records (default
// ~/.local/share/dravik/records), named YYYY-MM-DD.jsonl, one record a line. Every record is written
// with one write() on a descriptor opened O_APPEND, so records of programs running side by side never
// interleave.
#pragma once

#include "engine/records/ServiceRecord.h"

#include <string>
#include <vector>

class CServiceRecordBook {
public:
    // The folder of the record files.
    static std::string Folder();
    // Recording is on unless DRAVIK_NO_RECORD is set to anything but "" or "0".
    static bool EnabledByEnvironment();
    // Appends the record to its day's file, making the folders as needed; false with what went wrong.
    static bool Append(const ServiceRecord& record, std::string& error);
    // Every record of the days from since (YYYY-MM-DD; empty for all) on, oldest first. Lines that are not
    // records are skipped and counted in skipped. False with a message when the folder or a day's file
    // cannot be read (a folder that does not exist yet holds no records and is not an error).
    static bool ReadSince(const std::string& since, std::vector<ServiceRecord>& records, size_t& skipped,
                          std::string& error);
    // True for a date written YYYY-MM-DD.
    static bool IsDate(const std::string& text);
};
