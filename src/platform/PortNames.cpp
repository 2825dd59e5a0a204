#include "platform/PortNames.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex g_overrideLock;
std::map<std::string, std::string>& Overrides() {
    static std::map<std::string, std::string> overrides;
    return overrides;
}

// "COM" in any case followed by a number from 1 on (port names are not case-sensitive); the number, or 0
// when the name is not of that form.
unsigned ComNumber(const std::string& name) {
    if (name.size() < 4 || std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M')
        return 0;
    unsigned number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])) || number > 100000)
            return 0;
        number = number * 10 + static_cast<unsigned>(name[i] - '0');
    }
    return number;
}

} // namespace

std::string DravikConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/')
        return std::string(xdg) + "/dravik";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/dravik";
}

void SetPortNameOverride(const std::string& portName, const std::string& devicePath) {
    std::lock_guard<std::mutex> guard(g_overrideLock);
    if (devicePath.empty())
        Overrides().erase(portName);
    else
        Overrides()[portName] = devicePath;
}

std::string CanonicalPortName(const std::string& portName) {
    if (ComNumber(portName) == 0)
        return portName;
    return "COM" + portName.substr(3);
}

std::string ResolvePortName(const std::string& rawName) {
    const std::string portName = CanonicalPortName(rawName);
    {
        std::lock_guard<std::mutex> guard(g_overrideLock);
        const auto found = Overrides().find(portName);
        if (found != Overrides().end())
            return found->second;
    }
    if (!portName.empty() && portName[0] == '/')
        return portName;
    const unsigned number = ComNumber(portName);
    if (number == 0)
        return {};
    const std::string link = DravikConfigFolder() + "/" + portName;
    struct stat info {};
    if (::lstat(link.c_str(), &info) == 0)
        return link; // opening the link follows it to the device it names
    return "/dev/ttyS" + std::to_string(number - 1);
}
