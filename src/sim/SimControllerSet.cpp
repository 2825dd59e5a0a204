#include "sim/SimControllerSet.h"

namespace {

// "dir/dump.srec" -> "dir/dump-3.srec"; a name without an extension gets "-3" at its end.
std::string PathForController(const std::string& path, unsigned index) {
    if (path.empty())
        return path;
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    // Appended rather than concatenated: GCC 12 warns falsely (-Wrestrict) on "-" + std::string.
    std::string suffix(1, '-');
    suffix += std::to_string(index);
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || dot <= nameStart)
        return path + suffix;
    return path.substr(0, dot) + suffix + path.substr(dot);
}

} // namespace

SimOptions SimOptionsForController(const SimOptions& options, unsigned index) {
    SimOptions own = options;
    own.nCount = 1;
    own.controllerFaults.clear();
    for (const auto& [target, fault] : options.controllerFaults)
        if (target == index)
            own.faults.push_back(fault);
    if (options.nCount > 1) {
        own.strTracePath = PathForController(options.strTracePath, index);
        own.strControlPath = PathForController(options.strControlPath, index);
        own.strFlashDumpPath = PathForController(options.strFlashDumpPath, index);
        own.strReceiveDir = PathForController(options.strReceiveDir, index);
    }
    return own;
}
