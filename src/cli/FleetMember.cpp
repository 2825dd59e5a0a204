#include "cli/FleetMember.h"

#include "engine/records/JsonText.h"

#include <cstdio>

bool FleetMember::TakeEvent(const std::string& line) {
    CJsonValue event;
    if (!CJsonValue::Parse(line, event) || !event.IsObject())
        return false;
    const std::string kind = event["event"].Text();
    if (kind == "progress") {
        nBytes = static_cast<uint64_t>(event["bytes"].Integer());
        nTotal = static_cast<uint64_t>(event["total"].Integer());
        nBitsPerSecond = static_cast<uint64_t>(event["bps"].Integer());
    } else if (kind == "step") {
        strStep = event["step"].Text();
    } else if (kind == "controller") {
        strVersion = event["version"].Text();
    } else if (kind == "message" && event["kind"].Text().empty()) {
        strCause = strLastMessage;
        strLastMessage = event["text"].Text();
    } else if (kind == "result") {
        bResultSeen = true;
        nExitCode = static_cast<int>(event["code"].Integer());
    }
    return !kind.empty();
}

std::string FleetMember::Outcome() const {
    std::string outcome = strLastMessage.substr(0, strLastMessage.find('\n'));
    if (!strCause.empty() && nExitCode != 0)
        outcome = strCause.substr(0, strCause.find('\n')) + " " + outcome;
    return outcome;
}

std::string FleetMember::Line() const {
    std::string state = strStep;
    if (nExitCode == 0)
        state = "done";
    else if (nExitCode > 0)
        state = "failed (" + std::to_string(nExitCode) + ")";
    char line[256];
    std::snprintf(line, sizeof line, "%-20s %-6s %3d%% %7llu bps  %s", strPort.c_str(),
                  strVersion.empty() ? "-" : strVersion.c_str(), Percent(),
                  static_cast<unsigned long long>(nBitsPerSecond), state.c_str());
    return line;
}
