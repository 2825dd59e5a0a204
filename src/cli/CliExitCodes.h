// The exit codes of dravik-cli: one table for its --help text, its man page and its own code.
#pragma once

#include <span>

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 64;

struct SCliExitCode {
    const char* pszCode; // a code or a range, as printed
    const char* pszMeaning;
};

std::span<const SCliExitCode> CliExitCodes();
// The table as the --help text prints it: one "  CODE  MEANING" line per row.
const char* CliExitCodeText();
