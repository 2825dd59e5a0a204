#include "platform/SerialMode.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool ParseUnsigned(const std::string& text, unsigned& value) {
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), ::isdigit))
        return false;
    value = static_cast<unsigned>(std::stoul(text));
    return true;
}

bool ParseBaud(const std::string& text, unsigned& baud) {
    unsigned value = 0;
    if (!ParseUnsigned(text, value))
        return false;
    // The old two-digit abbreviations of the mode command.
    switch (value) {
    case 11:
        baud = 110;
        return true;
    case 15:
        baud = 150;
        return true;
    case 30:
        baud = 300;
        return true;
    case 60:
        baud = 600;
        return true;
    case 12:
        baud = 1200;
        return true;
    case 24:
        baud = 2400;
        return true;
    case 48:
        baud = 4800;
        return true;
    case 96:
        baud = 9600;
        return true;
    case 19:
        baud = 19200;
        return true;
    default:
        break;
    }
    if (value < 50)
        return false;
    baud = value;
    return true;
}

bool ParseParity(const std::string& text, char& parity) {
    if (text.size() != 1)
        return false;
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    if (c != 'n' && c != 'e' && c != 'o' && c != 'm' && c != 's')
        return false;
    parity = c;
    return true;
}

bool ParseDataBits(const std::string& text, int& bits) {
    unsigned value = 0;
    if (!ParseUnsigned(text, value) || value < 5 || value > 8)
        return false;
    bits = static_cast<int>(value);
    return true;
}

bool ParseStopBits(const std::string& text, int& bits) {
    if (text == "1")
        bits = 1;
    else if (text == "2" || text == "1.5")
        bits = 2;
    else
        return false;
    return true;
}

bool ParseCommaForm(const std::string& text, SerialMode& mode) {
    std::vector<std::string> fields;
    std::stringstream stream(text);
    std::string field;
    while (std::getline(stream, field, ','))
        fields.push_back(Trim(field));
    if (!text.empty() && text.back() == ',')
        fields.emplace_back();
    if (fields.size() < 1 || fields.size() > 5)
        return false;
    SerialMode parsed;
    if (!ParseBaud(fields[0], parsed.nBaud))
        return false;
    if (fields.size() > 1 && !ParseParity(fields[1], parsed.cParity))
        return false;
    if (fields.size() > 2 && !ParseDataBits(fields[2], parsed.nDataBits))
        return false;
    if (fields.size() > 3 && !ParseStopBits(fields[3], parsed.nStopBits))
        return false;
    if (fields.size() > 4) {
        const std::string flow = Lower(fields[4]);
        if (flow == "x")
            parsed.bXonXoff = true;
        else if (flow == "p")
            parsed.bHardwareFlow = true;
        else
            return false;
    }
    mode = parsed;
    return true;
}

bool ParseKeywordForm(const std::string& text, SerialMode& mode) {
    std::stringstream stream(text);
    std::string token;
    SerialMode parsed;
    bool haveBaud = false;
    while (stream >> token) {
        const auto equals = token.find('=');
        if (equals == std::string::npos)
            return false;
        const std::string key = Lower(token.substr(0, equals));
        const std::string value = token.substr(equals + 1);
        bool ok = false;
        if (key == "baud")
            ok = haveBaud = ParseBaud(value, parsed.nBaud);
        else if (key == "parity")
            ok = ParseParity(value, parsed.cParity);
        else if (key == "data")
            ok = ParseDataBits(value, parsed.nDataBits);
        else if (key == "stop")
            ok = ParseStopBits(value, parsed.nStopBits);
        else if (key == "xon" || key == "octs" || key == "odsr" || key == "idsr" || key == "to" ||
                 key == "dtr" || key == "rts")
            ok = true; // Accepted and ignored: the program asks for no flow control.
        if (!ok)
            return false;
    }
    if (!haveBaud)
        return false;
    mode = parsed;
    return true;
}

} // namespace

bool ParseSerialMode(const std::string& text, SerialMode& mode) {
    std::string body = Trim(text);
    // An optional "COMn:" device prefix.
    const std::string lower = Lower(body);
    if (lower.rfind("com", 0) == 0) {
        const auto colon = body.find(':');
        if (colon == std::string::npos)
            return false;
        body = Trim(body.substr(colon + 1));
    }
    if (body.empty())
        return false;
    if (body.find('=') != std::string::npos)
        return ParseKeywordForm(body, mode);
    return ParseCommaForm(body, mode);
}
