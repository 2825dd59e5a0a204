// dravik-cli's ports and doctor commands, and the reasons after "Error opening specified COM port.",
// against fake sysfs trees and real pseudo-terminals: one another user may not open, one this program
// holds.
#include "platform/SerialPort.h"
#include "support/CliRunner.h"
#include "support/FakeSystemTree.h"
#include "support/PtyPair.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kNoSettings = "/tmp/dravik-port-access-none.cfg";

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

TEST(PortAccessCli, PortsListsTheFakeTreesPortsAndControllerDevices) {
    CFakeSystemTree tree;
    tree.AddUart("ttyS0", 4);
    tree.AddUart("ttyS1", 0);
    tree.AddUsbTty("ttyUSB0", "ftdi_sio", {0x0403, 0x6001, "FTDI", "FT232R USB UART"}, 1);
    tree.AddById("usb-FTDI_FT232R-if00-port0", "ttyUSB0");
    tree.AddHidraw("hidraw0", 0x046D, 0xC52B, "Receiver");
    tree.AddHidraw("hidraw1", 0x10C4, 0x8468, "DXU Controller");
    const SProgramOutput run =
        RunCliProcess({"ports", "--sysfs", tree.Paths().strSys, "--dev", tree.Paths().strDev});
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    // The fake nodes are plain files, so the access column depends on who runs the test.
    const std::string access = ::geteuid() == 0 ? "this user may open it" : "";
    const std::string expected =
        "Serial ports:\n  " + tree.Dev("ttyS0") + " (COM1) serial8250; " + access + "\n  " +
        tree.Dev("ttyUSB0") + " USB 0403:6001 FTDI FT232R USB UART; " + access + "\n    also " +
        tree.Dev("serial/by-id/usb-FTDI_FT232R-if00-port0") + "\nController USB devices (10C4:8468):\n  " +
        tree.Dev("hidraw1") + " DXU Controller; " + access + "\n";
    if (::geteuid() == 0) {
        EXPECT_EQ(run.strOut, expected);
    }
    EXPECT_NE(run.strOut.find("USB 0403:6001 FTDI FT232R USB UART"), std::string::npos) << run.strOut;
    EXPECT_EQ(run.strOut.find("ttyS1"), std::string::npos) << "a ttyS line without a UART is no port";
    EXPECT_EQ(run.strOut.find("hidraw0"), std::string::npos) << "only the controller's HID devices";

    CFakeSystemTree empty;
    const SProgramOutput none =
        RunCliProcess({"ports", "--sysfs", empty.Paths().strSys, "--dev", empty.Paths().strDev});
    EXPECT_EQ(none.strOut, "Serial ports: none\nController USB devices (10C4:8468): none\n");
    EXPECT_EQ(RunCliProcess({"ports", "--bogus"}).nExit, 64);
}

TEST(PortAccessCli, DoctorOnAFreePortPassesAndNamesTheHolderOfABusyOne) {
    CFakeSystemTree tree;
    tree.AddUsbTty("ttyUSB0", "ftdi_sio", {0x0403, 0x6001, "FTDI", "FT232R"}, 1);
    CPtyPair pty;
    const std::vector<std::string> tail = {"--sysfs", tree.Paths().strSys, "--dev", tree.Paths().strDev};
    std::vector<std::string> args = {"--settings", kNoSettings, "doctor", "--port", pty.SlavePath()};
    args.insert(args.end(), tail.begin(), tail.end());

    const SProgramOutput free = RunCliProcess(args);
    EXPECT_EQ(free.nExit, 0) << free.strOut;
    EXPECT_NE(free.strOut.find("[ok] version: dravik-cli 5120-41887 Version 4.0\n"), std::string::npos);
    EXPECT_NE(free.strOut.find("[--] settings file " + std::string(kNoSettings) +
                               ": none; the program uses COM1, WE, DBGD, useCOM\n"),
              std::string::npos)
        << free.strOut;
    EXPECT_NE(
        free.strOut.find("[ok] serial ports: 1 found\n       " + tree.Dev("ttyUSB0") + " USB 0403:6001"),
        std::string::npos)
        << free.strOut;
    EXPECT_NE(free.strOut.find("[ok] chosen port " + pty.SlavePath() + ": opens\n"), std::string::npos)
        << free.strOut;

    // Held by this test with an exclusive open and its lock file, where the lock folder may be written.
    CSerialPort holder;
    ASSERT_TRUE(holder.Open(pty.SlavePath(), false));
    const SProgramOutput busy = RunCliProcess(args);
    EXPECT_EQ(busy.nExit, 1) << busy.strOut;
    EXPECT_NE(busy.strOut.find("[!!] chosen port " + pty.SlavePath() + ": does not open\n"),
              std::string::npos)
        << busy.strOut;
    const std::string pid = "(PID " + std::to_string(::getpid()) + ")";
    EXPECT_NE(busy.strOut.find(pid), std::string::npos) << busy.strOut;
    EXPECT_NE(busy.strOut.find("To fix: close that program, or choose another port."), std::string::npos)
        << busy.strOut;
    if (::access("/var/lock", W_OK) == 0) {
        EXPECT_NE(busy.strOut.find("[!!] lock file /var/lock/LCK.." +
                                   pty.SlavePath().substr(5).replace(3, 1, "_") + ": held by "),
                  std::string::npos)
            << busy.strOut;
    }

    // The same port through a command: the Part's message, then why.
    const SProgramOutput probe =
        RunCliProcess({"--settings", kNoSettings, "--port", pty.SlavePath(), "probe"});
    EXPECT_EQ(probe.nExit, 1);
    EXPECT_NE(probe.strErr.find("Error opening specified COM port.\nPort busy: "), std::string::npos)
        << probe.strErr;
    EXPECT_NE(probe.strErr.find(pid), std::string::npos) << probe.strErr;
    // With --json the message event carries the reason.
    const SProgramOutput json =
        RunCliProcess({"--settings", kNoSettings, "--port", pty.SlavePath(), "--json", "probe"});
    EXPECT_NE(json.strOut.find("\"text\":\"Error opening specified COM port.\",\"reason\":\"Port busy: "),
              std::string::npos)
        << json.strOut;
}

TEST(PortAccessCli, PortAnotherUserMayNotOpenNamesTheDeviceTheGroupAndTheFix) {
    uid_t uid = 0;
    gid_t gid = 0;
    if (!EnsureTestUser("dravik-tester", uid, gid))
        GTEST_SKIP() << "needs root to make an unprivileged user";
    const group* dialout = ::getgrnam("dialout");
    if (dialout == nullptr)
        GTEST_SKIP() << "no dialout group on this system";
    if (::access(DRAVIK_CLI_PATH, R_OK | X_OK) != 0 || ::access(DRAVIK_CLI_PATH, F_OK) != 0)
        GTEST_SKIP() << "dravik-cli cannot be run";

    CPtyPair pty;
    ASSERT_EQ(::chown(pty.SlavePath().c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0660), 0);

    const SProgramOutput probe =
        RunCliProcess({"--settings", kNoSettings, "--port", pty.SlavePath(), "probe"}, uid, gid);
    if (probe.nExit == 127)
        GTEST_SKIP() << "the build folder is not open to other users";
    EXPECT_EQ(probe.nExit, 1);
    const std::string reason =
        "Error opening specified COM port.\nPermission denied: " + pty.SlavePath() +
        " (crw-rw---- root:dialout) belongs to group dialout, and user dravik-tester is "
        "not in that group.\nTo fix: sudo usermod -aG dialout $USER, then log out and "
        "log in again.\n";
    EXPECT_NE(probe.strErr.find(reason), std::string::npos) << probe.strErr;
    EXPECT_TRUE(StartsWith(probe.strErr.substr(probe.strErr.find("Error opening")), reason));

    const SProgramOutput doctor =
        RunCliProcess({"--settings", kNoSettings, "doctor", "--port", pty.SlavePath()}, uid, gid);
    EXPECT_EQ(doctor.nExit, 1) << doctor.strOut;
    EXPECT_NE(
        doctor.strOut.find("[!!] group dialout: user dravik-tester is not in it; to fix: sudo usermod -aG "
                           "dialout $USER, then log out and log in again\n"),
        std::string::npos)
        << doctor.strOut;
    EXPECT_NE(doctor.strOut.find("[!!] chosen port " + pty.SlavePath() +
                                 ": does not open\n       Permission "
                                 "denied: " +
                                 pty.SlavePath()),
              std::string::npos)
        << doctor.strOut;
}

} // namespace
