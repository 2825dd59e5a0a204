// Starts another program as a process of its own, without a shell: no text of its path or arguments is
// ever interpreted. The caller does not wait for it; the process is reaped when it ends.
#pragma once

#include <string>
#include <vector>

// False when the program could not be started (missing, not executable, ...).
bool StartDetachedProcess(const std::string& programPath, const std::vector<std::string>& arguments = {});
