#include "support/SimTraceEvents.h"

#include <cctype>
#include <fstream>

namespace {

std::string FieldOf(const std::string& line, const std::string& name) {
    const std::string key = "\"" + name + "\":";
    size_t at = line.find(key);
    if (at == std::string::npos)
        return {};
    at += key.size();
    if (line[at] == '"') {
        const size_t end = line.find('"', at + 1);
        return line.substr(at + 1, end - at - 1);
    }
    const size_t end = line.find_first_of(",}", at);
    return line.substr(at, end - at);
}

} // namespace

std::vector<std::string> ReadSimTraceEvents(const std::string& tracePath, bool withSpeed) {
    std::vector<std::string> events;
    std::ifstream in(tracePath);
    std::string line;
    while (std::getline(in, line)) {
        if (FieldOf(line, "direction") != "rx")
            continue;
        const std::string meaning = FieldOf(line, "meaning");
        const std::string bytes = FieldOf(line, "bytes");
        std::string word;
        if (meaning.rfind("command ", 0) == 0) {
            word = meaning.substr(8);
        } else if (meaning.rfind("probe ", 0) == 0) {
            word = meaning;
        } else if (meaning.rfind("frame ", 0) == 0 && meaning.size() > 3 &&
                   meaning.compare(meaning.size() - 3, 3, " ok") == 0) {
            if (meaning.find(" MR ") != std::string::npos) {
                word = "A" + bytes.substr(10, bytes.size() - 14); // between "MR:" and ":" checksum
                for (char& c : word)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            } else
                word = "D" + std::to_string(bytes.size() / 2 - 3);
        } else {
            continue;
        }
        if (withSpeed)
            word += "@" + FieldOf(line, "speed");
        events.push_back(word);
    }
    return events;
}
