// dravik-cli: the download utility without windows.
#include "cli/CliOptions.h"
#include "cli/CliProgram.h"

#include <cstdio>

int main(int argc, char** argv) {
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "%s\n%s\n", CliUsageLine(), error.c_str());
        return kExitUsage;
    }
    if (options.bHelp) {
        std::fputs(CliHelpText(), stdout);
        return 0;
    }
    if (options.bVersion) {
        std::puts("dravik-cli 5120-41887 Version 4.0");
        return 0;
    }
    return RunCliProgram(options);
}
