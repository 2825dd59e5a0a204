// The desktop program's start: command line, the application object, the main window and the event loop.
#pragma once

#include <string>
#include <vector>

struct SDravikArguments {
    bool bDemo = false;
    std::string strFile; // the file the Load command starts from; empty when none
};

// "--demo" and at most one file name; unknown options are an error (false with a message).
bool ParseDravikArguments(const std::vector<std::string>& args, SDravikArguments& parsed, std::string& error);

int DravikMain(int argc, char** argv);
