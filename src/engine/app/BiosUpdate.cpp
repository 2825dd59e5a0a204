// The Update BIOS command: the tool's folder comes from the registry stand-in and the tool is started
// without a shell, so spaces and quotes in the folder are taken literally.
#include "engine/app/BiosUpdate.h"

#include "engine/app/DravikApp.h"
#include "engine/app/UserInterface.h"
#include "platform/ProcessStart.h"
#include "platform/RegistryFile.h"

namespace {

// The command line the tool was started with had to fit 512 bytes with its quotes and terminating zero.
constexpr size_t kMaxCommandLine = 512;

constexpr const char* kCouldNotLocate =
    "Dravik could not locate Arvenco's BIOS Update utility\nTessoran.  Please "
    "contact Arvenco to obtain this\nutility for performing BIOS updates.";
constexpr const char* kCouldNotExecute =
    "Dravik could not execute Arvenco's BIOS Update utility\nTessoran.  Please "
    "contact Arvenco to obtain this\nutility for performing BIOS updates.";

} // namespace

std::string BiosToolPath(const std::string& installDir) {
    std::string path = installDir;
    if (path.empty() || path.back() != '/')
        path += '/';
    return path + kBiosToolProgram;
}

bool CDravikApp::IsBiosToolInstalled() {
    CRegistryKey key;
    return key.Open(kBiosToolKey);
}

void CDravikApp::OnUpdateBios() {
    CRegistryKey key;
    std::string folder;
    // Only an absolute folder locates the tool: a relative one would run whatever program of that name
    // lies under the current folder.
    if (!key.Open(kBiosToolKey) || !key.QueryString(kBiosToolValue, folder) || folder.empty() ||
        folder[0] != '/') {
        m_pUi->MessageBox(kCouldNotLocate);
        return;
    }
    const std::string program = BiosToolPath(folder);
    if (program.size() + 3 > kMaxCommandLine || !StartDetachedProcess(program))
        m_pUi->MessageBox(kCouldNotExecute);
}
