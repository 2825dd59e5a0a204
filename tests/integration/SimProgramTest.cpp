// The dxu-sim program itself: its pseudo-terminal line, control socket, trace file and clean exit.
#include "SimTestLink.h"
#include "support/SimProcess.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A temporary folder removed with its files.
class CTempDir {
public:
    CTempDir() {
        char pattern[] = "/tmp/dxu-sim-test-XXXXXX";
        if (::mkdtemp(pattern))
            m_strPath = pattern;
    }
    ~CTempDir() {
        for (const std::string& file : m_files)
            ::unlink(file.c_str());
        ::rmdir(m_strPath.c_str());
    }
    std::string File(const std::string& name) {
        m_files.push_back(m_strPath + "/" + name);
        return m_files.back();
    }

private:
    std::string m_strPath;
    std::vector<std::string> m_files;
};

// One line sent on the control socket, one line back.
class CControlClient {
public:
    explicit CControlClient(const std::string& path)
        : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof(address.sun_path) - 1);
        m_bConnected =
            ::connect(m_fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    }
    bool IsConnected() const { return m_bConnected; }
    std::string Ask(const std::string& line) {
        const std::string text = line + "\n";
        if (::send(m_fd.Get(), text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size()))
            return "";
        std::string reply;
        char c = 0;
        pollfd pfd{m_fd.Get(), POLLIN, 0};
        while (::poll(&pfd, 1, 5000) > 0 && ::recv(m_fd.Get(), &c, 1, 0) == 1 && c != '\n')
            reply += c;
        return reply;
    }

private:
    CUniqueFd m_fd;
    bool m_bConnected = false;
};

} // namespace

TEST(SimProgram, ControlSocketResetsCountsAndQuits) {
    CTempDir dir;
    const std::string control = dir.File("control");
    CSimProcess sim({"--protocol", "none", "--control", control});
    ASSERT_TRUE(sim.IsReady());
    CSimTestLink link(sim.SlavePath());
    ASSERT_TRUE(link.IsOpen());
    CControlClient client(control);
    ASSERT_TRUE(client.IsConnected());

    EXPECT_EQ(client.Ask("reset"), "ok");
    EXPECT_EQ(link.Read(1), "\x07");
    link.Write("\x1b");
    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(5), "PL03\n");
    EXPECT_EQ(client.Ask("counters"),
              "commands=0 probes=1 frames=0 acked=0 refused=0 resets=1 esc=1 bootstrap=1 speeds=19200");
    EXPECT_EQ(client.Ask("jump"), "error unknown command: jump");
    EXPECT_EQ(client.Ask("quit"), "ok");
    EXPECT_EQ(sim.WaitForExit(std::chrono::seconds(5)), 0);
    // The socket file goes with the program.
    EXPECT_NE(::access(control.c_str(), F_OK), 0);
}

TEST(SimProgram, TraceFileHasOneObjectPerElement) {
    CTempDir dir;
    const std::string tracePath = dir.File("trace.jsonl");
    CSimProcess sim({"--trace", tracePath, "--expect-frame-speed", "38400", "--done-delay", "0"});
    ASSERT_TRUE(sim.IsReady());
    {
        CSimTestLink link(sim.SlavePath(), B19200);
        link.WriteBytewise("+++D");
        EXPECT_EQ(link.Read(5), "PL01\n");
        link.WriteBytewise("+++0");
        EXPECT_EQ(link.Read(8), "OK\nDONE\n");
        ASSERT_TRUE(link.SetSpeed(B38400));
        link.Write(std::vector<uint8_t>{0x02, 0x03, 0x10, 0x20, 0x30, 0x01});
        EXPECT_EQ(link.Read(1), "\x06");
        ASSERT_TRUE(link.SetSpeed(B19200));
        link.Write(std::vector<uint8_t>{0x02, 0x03, 0x10, 0x20, 0x30, 0x01});
        link.WriteBytewise("+++C");
        EXPECT_EQ(link.Read(5), "V2.3\n");
    }
    EXPECT_EQ(sim.Stop(), 0);

    std::ifstream trace(tracePath);
    std::vector<std::string> lines;
    for (std::string line; std::getline(trace, line);)
        lines.push_back(line);
    const std::regex shape(
        R"re(\{"time":(\d+),"direction":"(rx|tx)","speed":(\d+),"bytes":"([0-9a-f]*)","meaning":"([^"]*)"\})re");
    std::vector<std::string> elements;
    long lastTime = 0;
    for (const std::string& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, shape)) << line;
        EXPECT_GE(std::stol(match[1]), lastTime);
        lastTime = std::stol(match[1]);
        elements.push_back(match[2].str() + " " + match[3].str() + " " + match[4].str() + " " +
                           match[5].str());
    }
    const std::vector<std::string> expected = {
        "rx 19200 2b2b2b44 probe D",
        "tx 19200 504c30310a answer PL01",
        "rx 19200 2b2b2b30 command +++0",
        "tx 19200 4f4b0a answer OK",
        "tx 19200 444f4e450a answer DONE, erased 0x0-0x100000",
        "rx 38400 020310203001 frame 1 len 3 ok",
        "tx 38400 06 ack",
        "rx 19200 020310203001 frame 2 len 3 refused: speed 19200, expected 38400",
        "rx 19200 2b2b2b43 probe C",
        "tx 19200 56322e330a answer V2.3",
    };
    EXPECT_EQ(elements, expected);
}

TEST(SimProgram, BadOptionsAreRefusedAndHelpSucceeds) {
    CSimProcess bad({"--fault", "drop-ack:0"});
    EXPECT_FALSE(bad.IsReady());
    EXPECT_EQ(bad.WaitForExit(std::chrono::seconds(5)), 2);
    CSimProcess version({"--version", "V2"});
    EXPECT_EQ(version.WaitForExit(std::chrono::seconds(5)), 2);
    CSimProcess help({"--help"});
    EXPECT_EQ(help.WaitForExit(std::chrono::seconds(5)), 0);
}

TEST(SimProgram, EndsCleanlyOnSigterm) {
    CSimProcess sim({});
    ASSERT_TRUE(sim.IsReady());
    CSimTestLink link(sim.SlavePath());
    link.WriteBytewise("+++D");
    EXPECT_EQ(link.Read(5), "PL01\n");
    EXPECT_EQ(sim.Stop(), 0);
}
