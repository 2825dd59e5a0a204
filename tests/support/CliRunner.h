// Runs dravik-cli as a separate process, started without a shell, standard input empty, optionally as
// another user (the caller must be root for that), and collects its output and exit code.
#pragma once

#include "support/ProgramOutput.h"

#include <string>
#include <sys/types.h>
#include <vector>

// uid/gid -1: as this process. A child that cannot change user or start the program exits 127.
SProgramOutput RunCliProcess(const std::vector<std::string>& args, uid_t uid = static_cast<uid_t>(-1),
                             gid_t gid = static_cast<gid_t>(-1));

// An unprivileged account for permission tests, made with useradd when missing. False when this
// process is not root or the account cannot be had.
bool EnsureTestUser(const std::string& name, uid_t& uid, gid_t& gid);
