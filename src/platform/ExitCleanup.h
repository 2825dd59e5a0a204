// What the process gives back even when a signal ends it at once: the exclusive use of its open ports
// (a pseudo-terminal keeps its exclusive flag after we are gone until its other side closes) and its
// temporary files and folders. Owners register while they hold them and unregister when they let go.
#pragma once

#include <string>
#include <termios.h>

namespace ExitCleanup {

void AddPort(int fd);
void RemovePort(int fd);
// A temporary file or (empty) folder; removed newest first, so a file goes before its folder.
void AddPath(const std::string& path);
void RemovePath(const std::string& path);

// A terminal whose settings are put back at the end (a console in raw mode).
void AddTerminal(int fd, const struct termios& saved);
void RemoveTerminal(int fd);

// Puts back every registered terminal's settings, clears the exclusive flag and drops the lock of every
// registered port, and removes every registered path. For the last moments of a process that ends without
// unwinding.
void Run();

} // namespace ExitCleanup
