// dravik-cli: the download utility without windows.
#include "cli/CliEventWriter.h"
#include "cli/CliOptions.h"
#include "cli/CliProgram.h"
#include "engine/app/VersionText.h"

#include <cstdio>

int main(int argc, char** argv) {
    CliOptions options;
    std::string error;
    const bool parsed = ParseCliOptions(argc, argv, options, error);
    // Standard output carries events only with --json, so that every line of it parses.
    CCliEventWriter events(stdout);
    CCliEventWriter* json = options.bJson ? &events : nullptr;
    if (!parsed) {
        std::fprintf(stderr, "%s\n%s\n", CliUsageLine(), error.c_str());
        if (json)
            json->Result(kExitUsage);
        return kExitUsage;
    }
    if (options.bHelp) {
        std::fputs(CliHelpText().c_str(), stdout);
        return kExitOk;
    }
    if (options.bVersion) {
        std::printf("dravik-cli %s\n", kDravikVersionText);
        return kExitOk;
    }
    std::vector<SCliResult> results;
    const int code = RunCliProgram(options, json, results);
    if (json) {
        std::vector<SJsonField> fields;
        for (const SCliResult& result : results)
            fields.push_back({result.strKey, result.strValue, result.bNumber});
        json->Result(code, fields);
    } else {
        for (const SCliResult& result : results)
            std::printf("%s: %s\n", result.strLabel.c_str(), result.strValue.c_str());
    }
    return code;
}
