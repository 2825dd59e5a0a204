// dravik-cli: the download utility without windows.
#include "cli/CliOptions.h"
#include "cli/CliProgram.h"
#include "engine/app/VersionText.h"

#include <cstdio>

int main(int argc, char** argv) {
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "%s\n%s\n", CliUsageLine(), error.c_str());
        return kExitUsage;
    }
    if (options.bHelp) {
        std::fputs(CliHelpText().c_str(), stdout);
        return 0;
    }
    if (options.bVersion) {
        std::printf("dravik-cli %s\n", kDravikVersionText);
        return 0;
    }
    return RunCliProgram(options);
}
