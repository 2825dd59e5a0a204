#include "platform/ProcessStart.h"

#include "platform/ChildProcess.h"

bool StartDetachedProcess(const std::string& programPath, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{programPath};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    SChildSetup setup;
    setup.bSearchPath = false; // the path is the tool's as configured, never looked up
    CChildProcess tool;
    if (tool.Start(argv, setup) != 0)
        return false;
    tool.Detach(); // nobody waits for the tool, yet it must not stay behind as a zombie
    return true;
}
