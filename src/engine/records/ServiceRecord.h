// One service record: what one operation did to a controller (or a file), as one JSON line of the day's
// record file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CJsonValue;

struct ServiceRecord {
    std::string strTime; // local time of the start, ISO 8601 with the offset: 2026-12-08T18:30:01+01:00
    std::string strHost;
    std::string strUser;
    std::string strProgram; // dravik or dravik-cli
    std::string strProgramVersion;
    std::string strOperation; // connect, load, erase, options, convert, capture
    std::string strLink;      // COM, USB or none
    std::string strPort;      // the port name as chosen
    std::string strDevice;    // the device path it stands for
    std::string strUsbId;     // VID:PID on USB
    std::string strUsbSerial; // on USB, where the device tells it
    std::string strProtocol;  // the controller's protocol and version texts
    std::string strVersion;
    std::string strFile; // the file sent, converted or captured: its name
    std::string strFilePath;
    int64_t nFileSize = -1; // -1: no file, or it could not be read
    std::string strFileSha256;
    std::string strOutputFile; // convert: the image written
    int64_t nOutputSize = -1;
    std::string strOutputSha256;
    std::vector<std::string> regions;       // an image's memory regions
    std::vector<std::string> commands;      // every controller command sent, "+++4"
    std::vector<std::string> eraseCommands; // the erase commands among them
    int nResult = 0;
    bool bOk = false;
    std::vector<std::string> messages; // every text shown to the person, in order
    uint64_t nDurationMs = 0;
    uint64_t nBytesSent = 0;
    uint64_t nBytesAcknowledged = 0;

    // The JSON object on one line, without the line end.
    std::string ToJson() const;
    // Back from a parsed line; false when it is not a record object.
    static bool FromJson(const CJsonValue& value, ServiceRecord& record);
    // The day (YYYY-MM-DD) the record belongs to: the date part of its time.
    std::string Day() const { return strTime.substr(0, 10); }
};

// The names of a region set (1 os, 2 application, 4 commboard), in bit order.
std::vector<std::string> RegionNames(int regions);
