// Port listing, lock files and the reasons given for a port that does not open, against fake sysfs,
// /dev, /proc and lock folders.
#include "cli/CliDoctor.h"
#include "platform/HidDeviceChoice.h"
#include "platform/PortDiagnosis.h"
#include "platform/SerialPortList.h"
#include "platform/UucpLock.h"
#include "support/FakeSystemTree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// The PID of a process that has ended and been reaped: no process has it for now.
pid_t EndedPid() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

class PortListTest : public ::testing::Test {
protected:
    void SetUp() override {
        // COM links live in the configuration folder; keep the user's own out of the test.
        m_strOldConfig = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
        m_bHadConfig = std::getenv("XDG_CONFIG_HOME") != nullptr;
        const std::filesystem::path config = m_tree.Root() / "config";
        std::filesystem::create_directories(config / "dravik");
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        m_configFolder = config / "dravik";
    }
    void TearDown() override {
        if (m_bHadConfig)
            ::setenv("XDG_CONFIG_HOME", m_strOldConfig.c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
    }

    CFakeSystemTree m_tree;
    std::filesystem::path m_configFolder;
    std::string m_strOldConfig;
    bool m_bHadConfig = false;
};

TEST_F(PortListTest, ListsRealUartsAndUsbPortsInOrderWithMakerComNameAndById) {
    m_tree.AddUart("ttyS0", 4);
    m_tree.AddUart("ttyS1", 0); // no UART answered: not a port
    m_tree.AddUart("ttyS10", 4);
    m_tree.AddUart("ttyS2", 4);
    m_tree.AddVirtualTty("tty0");
    m_tree.AddVirtualTty("console");
    m_tree.AddUsbTty("ttyUSB0", "ftdi_sio", {0x0403, 0x6001, "FTDI", "FT232R USB UART"}, 1);
    m_tree.AddUsbTty("ttyACM0", "cdc_acm", {0x2341, 0x0043, "Maker", "Board"}, 2);
    m_tree.AddById("usb-FTDI_FT232R_USB_UART_A1B2-if00-port0", "ttyUSB0");
    std::filesystem::create_symlink(m_tree.Dev("ttyUSB0"), m_configFolder / "COM3");

    const std::vector<SSerialPortInfo> ports = ListSerialPorts(m_tree.Paths());
    std::vector<std::string> names;
    for (const SSerialPortInfo& port : ports)
        names.push_back(port.strName);
    EXPECT_EQ(names, (std::vector<std::string>{"ttyACM0", "ttyS0", "ttyS2", "ttyS10", "ttyUSB0"}));

    const SSerialPortInfo& usb = ports.back();
    EXPECT_EQ(usb.strDevice, m_tree.Dev("ttyUSB0"));
    EXPECT_TRUE(usb.bUsb);
    EXPECT_EQ(FormatUsbId(usb.nVendorId, usb.nProductId), "0403:6001");
    EXPECT_EQ(usb.strDriver, "ftdi_sio");
    EXPECT_EQ(usb.strComName, "COM3");
    ASSERT_EQ(usb.byIdNames.size(), 1u);
    EXPECT_EQ(usb.byIdNames[0], m_tree.Dev("serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2-if00-port0"));
    EXPECT_EQ(DescribeSerialPort(usb), m_tree.Dev("ttyUSB0") + " (COM3) USB 0403:6001 FTDI FT232R USB UART");

    const SSerialPortInfo& acm = ports.front();
    EXPECT_EQ(acm.strDriver, "cdc_acm");
    EXPECT_EQ(FormatUsbId(acm.nVendorId, acm.nProductId), "2341:0043");

    // Without a link COMn stands for ttyS(n-1); ttyS10 has no COM name.
    EXPECT_EQ(ports[1].strComName, "COM1");
    EXPECT_FALSE(ports[1].bUsb);
    EXPECT_EQ(ports[1].strDriver, "serial8250");
    EXPECT_EQ(ports[2].strComName, "") << "the COM3 link takes COM3 away from ttyS2";
    EXPECT_EQ(ports[3].strComName, "");
}

TEST_F(PortListTest, HidDevicesCarryTheirIdsAndTheNoDeviceReasonListsThem) {
    EXPECT_EQ(Joined(ExplainNoControllerDevice(m_tree.Paths())),
              "No controller (USB 10C4:8468) is attached: check the USB cable and that the controller is "
              "powered.\nNo HID devices are attached.\n");

    m_tree.AddHidraw("hidraw0", 0x046D, 0xC52B, "Logi Receiver");
    m_tree.AddHidraw("hidraw1", 0x10C4, 0x8468, "DXU");
    const std::vector<SHidDeviceInfo> devices = ListHidDevices(m_tree.Paths());
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[1].strNode, m_tree.Dev("hidraw1"));
    EXPECT_EQ(FormatUsbId(devices[1].nVendorId, devices[1].nProductId), "10C4:8468");
    EXPECT_EQ(devices[0].strName, "Logi Receiver");

    m_tree.AddHidraw("hidraw2", 0x10C4, 0x8468, "DXU");
    EXPECT_EQ(ExplainNoControllerDevice(m_tree.Paths())[0],
              "2 controllers (USB 10C4:8468) are attached; unplug all but one.");
}

TEST_F(PortListTest, UsbPortNamesChooseADeviceByNodeOrSerialNumber) {
    for (const char* name : {"usb:DX-1", "usb:", "/dev/hidraw3", "/tmp/fake/dev/hidraw12"})
        EXPECT_TRUE(IsUsbPortName(name)) << name;
    for (const char* name : {"COM1", "/dev/ttyUSB0", "hidraw3", "/dev/hidraw/x/ttyS0", "USB:DX-1", ""})
        EXPECT_FALSE(IsUsbPortName(name)) << name;

    m_tree.AddHidraw("hidraw0", 0x046D, 0xC52B, "Logi Receiver", "R-77");
    m_tree.AddHidraw("hidraw1", 0x10C4, 0x8468, "DXU", "DX-1");
    m_tree.AddHidraw("hidraw2", 0x10C4, 0x8468, "DXU");
    const std::vector<SHidDeviceInfo> devices = ListHidDevices(m_tree.Paths());
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[1].strSerial, "DX-1");
    EXPECT_EQ(devices[2].strSerial, "");

    struct SRow {
        std::string strName;
        bool bChosen;
        std::string strNode, strSerial, strWhy;
    };
    const SRow rows[] = {
        {"usb:DX-9", true, "", "DX-9", ""}, // found or not when the device is opened
        {"usb:", false, "", "",
         "No serial number after \"usb:\": write usb:SERIAL (dravik-cli ports lists them).\n"},
        // A node is followed by its serial number, which outlives a restart's new node.
        {m_tree.Dev("hidraw1"), true, m_tree.Dev("hidraw1"), "DX-1", ""},
        {m_tree.Dev("hidraw2"), true, m_tree.Dev("hidraw2"), "", ""},
        {m_tree.Dev("hidraw0"), false, "", "",
         m_tree.Dev("hidraw0") + " is not a controller's: it is USB 046D:C52B Logi Receiver.\n"},
        {m_tree.Dev("hidraw7"), false, "", "",
         "No such USB device: " + m_tree.Dev("hidraw7") + ".\n  a controller is at " + m_tree.Dev("hidraw1") +
             ", serial number DX-1\n  a controller is at " + m_tree.Dev("hidraw2") + "\n"},
    };
    for (const SRow& row : rows) {
        SUsbDeviceChoice choice;
        std::vector<std::string> why;
        EXPECT_EQ(ChooseUsbDevice(row.strName, m_tree.Paths(), choice, why), row.bChosen) << row.strName;
        EXPECT_EQ(choice.strNode, row.strNode) << row.strName;
        EXPECT_EQ(choice.strSerial, row.strSerial) << row.strName;
        EXPECT_EQ(Joined(why), row.strWhy) << row.strName;
    }
}

TEST_F(PortListTest, NoDeviceReasonNamesTheOtherHidDevices) {
    m_tree.AddHidraw("hidraw0", 0x046D, 0xC52B, "Logi Receiver");
    const std::string text = Joined(ExplainNoControllerDevice(m_tree.Paths()));
    EXPECT_NE(text.find("HID devices attached:\n  " + m_tree.Dev("hidraw0") + " 046D:C52B Logi Receiver\n"),
              std::string::npos)
        << text;
}

TEST_F(PortListTest, NoSuchPortListsThePortsThatExistAndHowComNamesMap) {
    m_tree.AddUart("ttyS0", 4);
    m_tree.AddUsbTty("ttyUSB1", "cp210x", {0x10C4, 0xEA60, "Silicon", "CP2102"}, 1);
    const std::string missing = m_tree.Dev("ttyUSB0");
    const std::string text = Joined(ExplainPortOpenFailure(missing, missing, ENOENT, m_tree.Paths()));
    EXPECT_EQ(text, "No such port: " + missing + ".\nSerial ports on this computer:\n  " +
                        m_tree.Dev("ttyS0") + " (COM1) serial8250\n  " + m_tree.Dev("ttyUSB1") +
                        " USB 10C4:EA60 Silicon CP2102\n");

    const std::string viaCom = Joined(ExplainPortOpenFailure("COM4", "/dev/ttyS3", ENOENT, m_tree.Paths()));
    EXPECT_NE(viaCom.find("COM4 stands for /dev/ttyS3; to use another device, enter its path, or make " +
                          (m_configFolder / "COM4").string() + " a link to it."),
              std::string::npos)
        << viaCom;

    CFakeSystemTree empty;
    EXPECT_EQ(
        ExplainPortOpenFailure("junk", "", 0, empty.Paths()),
        (std::vector<std::string>{"No such port: junk is neither COM1 to COM9 nor a device path such as "
                                  "/dev/ttyUSB0.",
                                  "No serial ports were found on this computer: plug in the USB serial "
                                  "adapter or the cable, then try again."}));
}

TEST_F(PortListTest, LockFilesAreMadeHonouredReportedAndStaleOnesReplaced) {
    m_tree.AddUsbTty("ttyUSB0", "ftdi_sio", {0x0403, 0x6001, "FTDI", "FT232R"}, 1);
    const std::string device = m_tree.Dev("ttyUSB0");
    const std::string lockFile = UucpLockFilePath(device, m_tree.Paths());
    EXPECT_EQ(lockFile, m_tree.Paths().strLock + "/LCK..ttyUSB0");
    {
        CUucpLock lock;
        ASSERT_TRUE(lock.Acquire(device, m_tree.Paths()));
        EXPECT_TRUE(lock.Held());
        std::string content;
        std::getline(std::ifstream(lockFile), content);
        char expected[16];
        std::snprintf(expected, sizeof expected, "%10d", static_cast<int>(::getpid()));
        EXPECT_EQ(content, expected);
        EXPECT_EQ(UucpLockHolder(device, m_tree.Paths()), ::getpid());

        CUucpLock second;
        errno = 0;
        EXPECT_FALSE(second.Acquire(device, m_tree.Paths()));
        EXPECT_EQ(errno, EBUSY);
    }
    EXPECT_FALSE(std::filesystem::exists(lockFile)) << "released with its holder";

    // Another live program's lock, in the old binary form too.
    for (bool binary : {false, true}) {
        const int parent = static_cast<int>(::getppid());
        std::ofstream out(lockFile, std::ios::binary | std::ios::trunc);
        if (binary)
            out.write(reinterpret_cast<const char*>(&parent), sizeof parent);
        else
            out << "     " << parent << "\n";
        out.close();
        CUucpLock lock;
        EXPECT_FALSE(lock.Acquire(device, m_tree.Paths())) << binary;
        EXPECT_EQ(UucpLockHolder(device, m_tree.Paths()), parent);
    }
    m_tree.AddProcess(static_cast<int>(::getppid()), "terminal-prog", device);
    const std::string busy = Joined(ExplainPortOpenFailure(device, device, EBUSY, m_tree.Paths()));
    EXPECT_EQ(busy, "Port busy: lock file " + lockFile + " names terminal-prog (PID " +
                        std::to_string(::getppid()) +
                        ").\nTo fix: close that program, or choose another port.\n");

    // A lock whose process has ended is stale: it is replaced by ours.
    std::ofstream(lockFile, std::ios::trunc) << "  " << EndedPid() << "\n";
    EXPECT_EQ(UucpLockHolder(device, m_tree.Paths()), 0);
    CUucpLock lock;
    EXPECT_TRUE(lock.Acquire(device, m_tree.Paths()));
    EXPECT_EQ(UucpLockHolder(device, m_tree.Paths()), ::getpid());

    // No lock folder: nothing is locked and nothing fails.
    SSystemPaths noFolder = m_tree.Paths();
    noFolder.strLock = (m_tree.Root() / "missing").string();
    CUucpLock unlocked;
    EXPECT_TRUE(unlocked.Acquire(device, noFolder));
    EXPECT_FALSE(unlocked.Held());
}

// Lock files that name no holder of the device: a live process without it (its lock outlived its use,
// or its PID went to another program) and, as an unprivileged user, another user's stale file in the
// sticky lock folder. Neither makes a free port busy, and neither file is removed.
TEST_F(PortListTest, LockFilesWhoseProcessDoesNotHoldTheDeviceLeaveThePortFree) {
    m_tree.AddUsbTty("ttyUSB0", "ftdi_sio", {0x0403, 0x6001, "FTDI", "FT232R"}, 1);
    const std::string device = m_tree.Dev("ttyUSB0");
    const std::string lockFile = UucpLockFilePath(device, m_tree.Paths());
    const std::string parentLock = "  " + std::to_string(::getppid()) + "\n";
    std::ofstream(lockFile, std::ios::trunc) << parentLock;
    m_tree.AddProcess(static_cast<int>(::getppid()), "build-tool", "/dev/null");
    EXPECT_EQ(UucpLockHolder(device, m_tree.Paths()), 0);
    {
        CUucpLock lock;
        EXPECT_TRUE(lock.Acquire(device, m_tree.Paths()));
        EXPECT_FALSE(lock.Held());
    }
    std::string content;
    std::getline(std::ifstream(lockFile), content);
    EXPECT_EQ(content + "\n", parentLock);
    EXPECT_EQ(Joined(ExplainPortOpenFailure(device, device, EBUSY, m_tree.Paths())).find("lock file"),
              std::string::npos);
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = ::open_memstream(&text, &size);
    ASSERT_NE(out, nullptr);
    RunDoctor({(m_tree.Root() / "none.cfg").string(), device, false, "test"}, m_tree.Paths(), out);
    std::fclose(out);
    const std::string doctor(text, size);
    std::free(text);
    EXPECT_NE(doctor.find("[--] lock file " + lockFile + ": names build-tool (PID " +
                          std::to_string(::getppid()) + "), which does not have the port open"),
              std::string::npos)
        << doctor;

    if (::geteuid() != 0)
        GTEST_SKIP() << "another user's lock file needs root to make";
    // Root removes any file, so the open runs as nobody from inside the folder (the test's own
    // temporary folders above it are closed to that user).
    const std::string stale = "/dev/ttyDravikStale";
    ASSERT_EQ(::chmod(m_tree.Paths().strLock.c_str(), 01777), 0);
    const std::string staleFile = m_tree.Paths().strLock + "/LCK..ttyDravikStale";
    std::ofstream(staleFile, std::ios::trunc) << "  " << EndedPid() << "\n";
    const pid_t child = ::fork();
    if (child == 0) {
        const uid_t nobody = 65534;
        if (::chdir(m_tree.Paths().strLock.c_str()) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            ::_exit(2);
        SSystemPaths here = m_tree.Paths();
        here.strLock = ".";
        here.strDev = "/dev";
        CUucpLock lock;
        ::_exit(lock.Acquire(stale, here) && !lock.Held() ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(std::filesystem::exists(staleFile));
}

TEST_F(PortListTest, BusyPortNamesTheProgramThatHoldsItOrSaysItCannotSee) {
    m_tree.AddUsbTty("ttyUSB0", "ftdi_sio", {0x0403, 0x6001, "FTDI", "FT232R"}, 1);
    const std::string device = m_tree.Dev("ttyUSB0");
    const std::string hidden = Joined(ExplainPortOpenFailure(device, device, EBUSY, m_tree.Paths()));
    EXPECT_EQ(hidden, "Port busy: another program holds " + device +
                          ", but this user may not see which (sudo dravik-cli doctor --port " + device +
                          " shows it).\nTo fix: close that program, or choose another port.\n");

    m_tree.AddProcess(4242, "serial-tool", device);
    m_tree.AddProcess(4343, "other", "/dev/null");
    const std::vector<SDeviceHolder> holders = FindDeviceHolders(device, m_tree.Paths());
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_EQ(holders[0].nPid, 4242);
    EXPECT_EQ(holders[0].strProgram, "serial-tool");
    EXPECT_EQ(Joined(ExplainPortOpenFailure(device, device, EBUSY, m_tree.Paths())),
              "Port busy: " + device +
                  " is open for exclusive use in serial-tool (PID 4242).\nTo fix: close "
                  "that program, or choose another port.\n");
}

TEST_F(PortListTest, HidrawPermissionReasonSaysWhetherTheUdevRuleIsInstalled) {
    m_tree.AddHidraw("hidraw3", 0x10C4, 0x8468, "DXU");
    const std::string node = m_tree.Dev("hidraw3");
    std::string text = Joined(ExplainPortOpenFailure(node, node, EACCES, m_tree.Paths()));
    EXPECT_NE(
        text.find("The udev rule 60-dravik.rules that opens the controller's USB interface to its user is "
                  "not installed (looked in " +
                  (m_tree.Root() / "etc/udev/rules.d").string()),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("sudo cp resources/60-dravik.rules /etc/udev/rules.d/"), std::string::npos) << text;

    const std::string rule = (m_tree.Root() / "lib/udev/rules.d/60-dravik.rules").string();
    std::ofstream(rule) << "# rule\n";
    EXPECT_EQ(FindUdevRule(m_tree.Paths()), rule);
    text = Joined(ExplainPortOpenFailure(node, node, EACCES, m_tree.Paths()));
    EXPECT_NE(text.find("The udev rule " + rule + " is installed; plug the controller in again"),
              std::string::npos)
        << text;
}

} // namespace
