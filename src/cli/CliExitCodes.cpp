#include "cli/CliExitCodes.h"

#include <string>

namespace {

// 4 to 14 are the load results of the image and configuration downloads, passed on as they are.
constexpr SCliExitCode kExitCodes[] = {
    {"0", "success (for load: the file was sent and stored, results 1 to 3)"},
    {"1",
     "the command failed: no controller found, port or link failure, controller refused or did not answer"},
    {"4", "load: the COM port failed to open, or the transfer could not access it"},
    {"5", "load: cancelled (also by a first Ctrl-C, SIGTERM or SIGHUP during the transfer)"},
    {"6", "load: the controller refused to erase"},
    {"7", "load: the file could not be opened"},
    {"8", "load: the controller refused the load command, did not respond, or contact was lost"},
    {"9", "load: too many communication errors"},
    {"10", "load: the change of line speed failed"},
    {"11", "load: the image ends inside an address record"},
    {"12", "load: the copy to config.dat failed"},
    {"13", "load: the controller skipped the file"},
    {"14", "load: no link selected"},
    {"64", "usage error: unknown option or command, missing or wrong argument"},
    {"129", "ended at once by SIGHUP (nothing to cancel, or a second signal); the port is released"},
    {"130",
     "ended at once by Ctrl-C (SIGINT): nothing to cancel, or pressed a second time; the port is released"},
    {"143", "ended at once by SIGTERM (nothing to cancel, or a second signal); the port is released"},
};

} // namespace

std::span<const SCliExitCode> CliExitCodes() {
    return kExitCodes;
}

const char* CliExitCodeText() {
    static const std::string text = [] {
        std::string lines;
        for (const SCliExitCode& row : kExitCodes) {
            std::string code = row.pszCode;
            code.resize(4, ' ');
            lines += "  " + code + row.pszMeaning + "\n";
        }
        return lines;
    }();
    return text.c_str();
}
