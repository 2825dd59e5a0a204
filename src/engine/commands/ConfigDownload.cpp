// The configuration download: a page, HTML, GIF or Neuron file goes to the controller by ZModem, after
// an optional erase of its configuration area and the load command, under the name "config.dat" for
// page files when the person agrees; the controller then stores it.
#include "engine/app/DravikApp.h"
#include "engine/app/FileReason.h"
#include "engine/app/MessageTexts.h"
#include "engine/app/UserInterface.h"
#include "engine/commands/FileExtension.h"
#include "engine/commands/ZModemLoadResult.h"
#include "engine/link/SerialHandler.h"
#include "engine/zmodem/ZModemDlg.h"
#include "platform/ExitCleanup.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kStoreWaitMs = 30000;

// The copy sent under the name the controller expects. It lives in a folder of its own, so a config.dat
// that already stands beside the chosen file is neither overwritten nor deleted.
class CTemporaryConfigCopy {
public:
    ~CTemporaryConfigCopy() {
        if (!m_strPath.empty()) {
            ::unlink(m_strPath.c_str());
            ExitCleanup::RemovePath(m_strPath);
        }
        if (!m_strFolder.empty()) {
            ::rmdir(m_strFolder.c_str());
            ExitCleanup::RemovePath(m_strFolder);
        }
    }
    // The path the copy is to take; empty when no folder could be made. A signal that ends the program
    // at once still removes both.
    std::string Prepare() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/dravik-config-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            return {};
        m_strFolder = pattern;
        ExitCleanup::AddPath(m_strFolder);
        m_strPath = m_strFolder + "/config.dat";
        ExitCleanup::AddPath(m_strPath);
        return m_strPath;
    }

private:
    std::string m_strFolder;
    std::string m_strPath;
};

} // namespace

int CDravikApp::CopyFileTo(const std::string& source, const std::string& destination, size_t bufferSize) {
    const CUniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.IsValid()) {
        m_pUi->MessageBoxWithReason("Could not open the input file.", FileReason(source, errno));
        return 0;
    }
    CUniqueFd out(::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out.IsValid()) {
        m_pUi->MessageBoxWithReason("Could not open the output file.", FileReason(destination, errno));
        return 0;
    }
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[bufferSize == 0 ? 1 : bufferSize]);
    if (!buffer) {
        m_pUi->MessageBox("Could not allocate the copy buffer.");
        return 0;
    }
    struct stat status {};
    ::fstat(in.Get(), &status);
    for (;;) {
        const ssize_t got = ::read(in.Get(), buffer.get(), bufferSize);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            m_pUi->MessageBoxWithReason(std::strerror(errno), {source + " could not be read."});
            return 0;
        }
        if (got == 0)
            break;
        ssize_t done = 0;
        while (done < got) {
            const ssize_t put = ::write(out.Get(), buffer.get() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                m_pUi->MessageBoxWithReason(std::strerror(errno), {destination + " could not be written."});
                return 0;
            }
            done += put;
        }
    }
    // The copy takes the source's time stamps and permissions.
    ::fchmod(out.Get(), status.st_mode & 07777);
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    ::futimens(out.Get(), times);
    // A failing close can be the first report of a write that did not reach the disk.
    if (::close(out.Release()) != 0) {
        m_pUi->MessageBoxWithReason(std::strerror(errno), {destination + " could not be written."});
        return 0;
    }
    return 1;
}

int CDravikApp::DownloadConfigFile(std::string path, std::string name) {
    int failure = 0;
    std::unique_ptr<CSerialHandler> link = OpenFileTransferLink(failure);
    if (!link)
        return failure;
    const std::string extension = LowerExtension(path);

    const bool erase = m_bWizardRunning || m_pUi->RunEraseOkDialog();
    if (erase) {
        auto wait = m_pUi->CreateWaitWindow(kEraseWaitCaption, kEraseWaitText);
        if (!link->SendCommand(CommandEraseApplication)) {
            m_pUi->MessageBox("Slave rejected erasure of config area.");
            return kConfigEraseRefused;
        }
    }
    if (!link->SendCommand(CommandLoadFile)) {
        m_pUi->MessageBox(kLoadCommandRefused);
        return kConfigRefused;
    }

    CTemporaryConfigCopy copy;
    if (extension == "dat" && name != "config.dat" && m_pUi->RunRenameOkDialog()) {
        const std::string copyPath = copy.Prepare();
        if (copyPath.empty() || CopyFileTo(path, copyPath, 50000) == 0) {
            m_pUi->MessageBox("Unable to copy file.  Check if config.dat exists in working directory.");
            return kConfigCopyFailed;
        }
        path = copyPath;
    }

    link->WaitForByte('*');
    const ZModemOptions options{1, 1, 0};
    const int transfer = ZModemSendFile(*m_pUi, path, &options, *link);

    if (transfer != ZModemOk)
        return ZModemLoadResult(*m_pUi, transfer);
    {
        auto wait = m_pUi->CreateWaitWindow("Erasing...", "Please wait while file is saved.");
        link->SetReadTimeout(kStoreWaitMs);
        link->WaitForByte('*');
    }
    m_pUi->MessageBox("Download complete.  Controller must be reset.");
    return kConfigLoadDone;
}
