#include "cli/CliRecords.h"

#include "cli/CliExitCodes.h"
#include "cli/CliOptions.h"
#include "engine/records/ServiceRecordBook.h"

#include <cstdio>

namespace {

// The last text shown, on one line: what a person most wants to see of a failure.
std::string LastMessage(const ServiceRecord& record) {
    std::string text = record.messages.empty() ? std::string() : record.messages.back();
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

} // namespace

int RunRecords(const std::string& since, bool json) {
    if (!since.empty() && !CServiceRecordBook::IsDate(since)) {
        std::fprintf(stderr, "%s\n--since takes a date written YYYY-MM-DD, not %s\n", CliUsageLine(),
                     since.c_str());
        return kExitUsage;
    }
    std::vector<ServiceRecord> records;
    size_t skipped = 0;
    std::string error;
    if (!CServiceRecordBook::ReadSince(since, records, skipped, error)) {
        std::fprintf(stderr,
                     "%s\nCheck that the folder can be read, or point XDG_DATA_HOME at the one that "
                     "holds dravik/records.\n",
                     error.c_str());
        return kExitFailed;
    }
    if (json) {
        for (const ServiceRecord& record : records)
            std::printf("%s\n", record.ToJson().c_str());
    } else {
        std::printf("%-25s %-9s %-4s %-14s %-4s %-4s %-24s %-10s %6s %-3s %s\n", "TIME", "OPERATION", "LINK",
                    "PORT", "PROT", "VERS", "FILE", "SHA-256", "RESULT", "OK", "LAST MESSAGE");
        for (const ServiceRecord& record : records)
            std::printf("%-25s %-9s %-4s %-14s %-4s %-4s %-24s %-10s %6d %-3s %s\n", record.strTime.c_str(),
                        record.strOperation.c_str(), record.strLink.c_str(), record.strPort.c_str(),
                        record.strProtocol.c_str(), record.strVersion.c_str(), record.strFile.c_str(),
                        record.strFileSha256.substr(0, 10).c_str(), record.nResult, record.bOk ? "yes" : "no",
                        LastMessage(record).c_str());
        std::printf("%zu record(s) in %s\n", records.size(), CServiceRecordBook::Folder().c_str());
    }
    if (skipped > 0)
        std::fprintf(stderr, "%zu line(s) in the record files are not records and were left out.\n", skipped);
    return kExitOk;
}
