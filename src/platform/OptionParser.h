// One command line read against one table of options with getopt_long: options may stand before, between
// or after the positional arguments, as "--name value", "--name=value" or a short "-x value"; "--" ends
// the options. Not re-entrant (getopt keeps global state): parse on one thread at a time.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

struct SOptionSpec {
    const char* pszLong; // the name after "--"
    char cShort;         // 0: none
    bool bValue;         // takes a value
    int nId;             // handed to the caller for this option
};

// Called for each option in the order given; the value is empty for an option without one. False with a
// message in error stops the parse.
using OptionHandler = std::function<bool(int id, const std::string& value, std::string& error)>;

// Parses argv[1..argc) against the table. Positional arguments come back in their order. False with a
// message naming the option for an unknown option, a missing value or a value given to a switch.
bool ParseCommandLine(int argc, const char* const* argv, std::span<const SOptionSpec> table,
                      const OptionHandler& onOption, std::vector<std::string>& positional,
                      std::string& error);
