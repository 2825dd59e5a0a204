#include "support/CliRunner.h"
#include "support/TempFolder.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::string ReadAndRemove(const char* path) {
    std::string text;
    if (std::FILE* file = std::fopen(path, "r")) {
        char buffer[512];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, n);
        std::fclose(file);
    }
    std::remove(path);
    return text;
}

} // namespace

SProgramOutput RunCliProcess(const std::vector<std::string>& args, uid_t uid, gid_t gid) {
    std::vector<std::string> argv{DRAVIK_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    if (uid == static_cast<uid_t>(-1))
        return RunCapturing(argv);
    std::string outPath = TestTempDir() + "/dravik-cli-out-XXXXXX";
    std::string errPath = TestTempDir() + "/dravik-cli-err-XXXXXX";
    const int outFd = ::mkstemp(outPath.data());
    const int errFd = ::mkstemp(errPath.data());
    // The other user writes into them through the inherited descriptors only.
    std::vector<char*> pointers;
    for (std::string& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    SProgramOutput run;
    const pid_t child = ::fork();
    if (child == 0) {
        // Only system calls from here on: the parent may have threads.
        const int in = ::open("/dev/null", O_RDONLY);
        if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0)
            ::_exit(127);
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(127);
        ::execve(pointers[0], pointers.data(), environ);
        ::_exit(127);
    }
    if (child > 0) {
        // Bounded as RunCapturing is: a program still running after a minute is killed.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        int status = 0;
        pid_t ended = 0;
        bool killed = false;
        while ((ended = ::waitpid(child, &status, WNOHANG)) == 0 || (ended < 0 && errno == EINTR)) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(child, SIGKILL);
                while ((ended = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
                }
                killed = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // A child killed here or not reaped tells nothing: never an exit code of 0.
        run.nExit = !killed && ended == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ::close(outFd);
    ::close(errFd);
    run.strOut = ReadAndRemove(outPath.c_str());
    run.strErr = ReadAndRemove(errPath.c_str());
    return run;
}

bool EnsureTestUser(const std::string& name, uid_t& uid, gid_t& gid) {
    if (::geteuid() != 0)
        return false;
    if (::getpwnam(name.c_str()) == nullptr) {
        std::vector<std::string> argv{
            "/usr/sbin/useradd", "--system", "--no-create-home", "--user-group", "--shell",
            "/usr/sbin/nologin", name};
        std::vector<char*> pointers;
        for (std::string& arg : argv)
            pointers.push_back(arg.data());
        pointers.push_back(nullptr);
        pid_t pid = -1;
        if (::posix_spawn(&pid, pointers[0], nullptr, nullptr, pointers.data(), environ) == 0) {
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
    }
    // Another test may have made it at the same moment: what counts is that it exists now.
    const passwd* entry = ::getpwnam(name.c_str());
    if (entry == nullptr || entry->pw_uid == 0)
        return false;
    uid = entry->pw_uid;
    gid = entry->pw_gid;
    return true;
}
