#include "platform/OptionParser.h"

#include <getopt.h>

namespace {

// Ids given to getopt for options without a short letter lie above every character.
constexpr int kLongOnlyBase = 0x100;

const SOptionSpec* FindByVal(std::span<const SOptionSpec> table, int val) {
    for (size_t i = 0; i < table.size(); ++i) {
        const int own =
            table[i].cShort ? static_cast<unsigned char>(table[i].cShort) : kLongOnlyBase + int(i);
        if (own == val)
            return &table[i];
    }
    return nullptr;
}

std::string OptionName(const SOptionSpec& spec, const std::string& given) {
    if (given.rfind("--", 0) == 0 || !spec.cShort)
        return std::string("--") + spec.pszLong;
    return std::string("-") + spec.cShort;
}

} // namespace

bool ParseCommandLine(int argc, const char* const* argv, std::span<const SOptionSpec> table,
                      const OptionHandler& onOption, std::vector<std::string>& positional,
                      std::string& error) {
    // getopt may reorder its argv; it works on copies so the caller's stay as they are.
    std::vector<std::string> copies(argv, argv + argc);
    std::vector<char*> args;
    for (std::string& copy : copies)
        args.push_back(copy.data());
    args.push_back(nullptr);

    // "-" first: positional arguments come back in place, whatever POSIXLY_CORRECT says; ":" next: a
    // missing value is told apart from an unknown option.
    std::string shortOptions = "-:";
    std::vector<option> longOptions;
    for (size_t i = 0; i < table.size(); ++i) {
        const SOptionSpec& spec = table[i];
        const int val = spec.cShort ? static_cast<unsigned char>(spec.cShort) : kLongOnlyBase + int(i);
        longOptions.push_back(
            option{spec.pszLong, spec.bValue ? required_argument : no_argument, nullptr, val});
        if (spec.cShort) {
            shortOptions += spec.cShort;
            if (spec.bValue)
                shortOptions += ':';
        }
    }
    longOptions.push_back(option{nullptr, 0, nullptr, 0});

    optind = 0; // a full new start of getopt's state
    opterr = 0;
    for (;;) {
        const int got = getopt_long(argc, args.data(), shortOptions.c_str(), longOptions.data(), nullptr);
        if (got == -1)
            break;
        // The word getopt looked at last, for the messages.
        const std::string given = optind > 0 && optind <= argc ? args[optind - 1] : std::string();
        if (got == 1) {
            positional.push_back(optarg);
            continue;
        }
        if (got == ':') {
            const SOptionSpec* spec = FindByVal(table, optopt);
            error = (spec ? OptionName(*spec, given) : given) + " needs a value";
            return false;
        }
        if (got == '?') {
            const SOptionSpec* spec = optopt ? FindByVal(table, optopt) : nullptr;
            if (spec && !spec->bValue && given.find('=') != std::string::npos)
                error = OptionName(*spec, given) + " takes no value";
            else if (optopt && !spec)
                error = std::string("unknown option -") + char(optopt);
            else
                error = "unknown or ambiguous option " + given;
            return false;
        }
        const SOptionSpec* spec = FindByVal(table, got);
        if (!spec) {
            error = "unknown option " + given;
            return false;
        }
        if (!onOption(spec->nId, spec->bValue && optarg ? std::string(optarg) : std::string(), error))
            return false;
    }
    for (int i = optind; i < argc; ++i) // after "--"
        positional.push_back(args[i]);
    return true;
}
