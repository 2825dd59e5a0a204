// The Load command: a file chosen in the dialog of the requested type goes to the transfer its extension
// selects; software images first pass the size plausibility check.
#include "engine/app/DravikApp.h"
#include "engine/app/FileReason.h"
#include "engine/app/MessageTexts.h"
#include "engine/app/RecordScope.h"
#include "engine/app/UserInterface.h"
#include "engine/commands/FileExtension.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

namespace {

constexpr const char* kSizeWarning = "Please verify this is the correct software for your DXU before "
                                     "continuing.\nThe file size indicates that "
                                     "this software is version 1.9.1 or older which\nis only compatible with "
                                     "Arvenco part number 0000003962 CPU "
                                     "boards.\n \nClick 'YES' to continue or 'NO' to abort.";

FileDialogRequest LoadDialogFor(int type) {
    FileDialogRequest request;
    request.bOpen = true;
    switch (type) {
    case kLoadTypeAny:
        request.strFilter =
            "Software Files (*.img)|*.img|Configuration Files (*.dat)|*.dat|HTML Files "
            "(*.htm)|*.htm|GIF Files (*.gif)|*.gif|Neuron Software Files (*.nxe)|*.nxe|Neuron "
            "Exportable Image Files (*.xif)|*.xif||";
        request.strDefaultExt = "*.img";
        break;
    case kLoadTypeConfiguration:
        request.strFilter = "Configuration Files (*.dat)|*.dat|";
        request.strDefaultExt = "*.dat";
        break;
    case kLoadTypeImageOrConfiguration:
        request.strFilter = "Software Files (*.img)|*.img|Configuration Files (*.dat)|*.dat|";
        request.strDefaultExt = "*.img";
        break;
    default:
        request.strFilter = "Software Files (*.img)|*.img|";
        request.strDefaultExt = "*.img";
        break;
    }
    return request;
}

} // namespace

void CDravikApp::OnLoad() {
    LoadFile(kLoadTypeAny);
}

bool CDravikApp::LoadFile(int type) {
    const bool fromCommandLine = !m_strLoadDir.empty();
    SwitchTerminalModeOff();
    FileDialogRequest request = LoadDialogFor(type);
    if (fromCommandLine) {
        request.strInitialDir = m_strLoadDir;
        request.strInitialName = m_strFileName;
    }
    std::string path;
    if (!m_pUi->GetFileName(request, path))
        return false;
    return LoadChosenFile(path);
}

bool CDravikApp::LoadChosenFile(const std::string& path) {
    m_strPathName = path;
    const size_t slash = path.find_last_of('/');
    m_strFileName = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string extension = LowerExtension(m_strPathName);
    CRecordScope record(*this, "load");
    record.NoteFile(m_strPathName);

    if (extension == "img") {
        if (std::FILE* file = std::fopen(m_strPathName.c_str(), "rb")) {
            struct stat info {};
            const long long length = ::fstat(::fileno(file), &info) == 0 ? info.st_size : 0;
            const std::string version = ControllerVersionText();
            const bool suspicious = m_nConnectState == ConnectBootstrap && length >= 600000 &&
                                    length <= 1000000 && !version.empty() && version[1] > '1';
            if (suspicious &&
                m_pUi->MessageBox(kSizeWarning, EMsgButtons::YesNo, EMsgIcon::Warning) != IDYES) {
                std::fclose(file);
                return false;
            }
            std::fclose(file);
        } else {
            m_pUi->MessageBoxWithReason(kInputFileNotOpened, FileReason(m_strPathName, errno));
        }
    }

    for (const char* configuration : {"dat", "gif", "htm", "nxe", "xif"}) {
        if (extension == configuration) {
            m_nLastLoadKind = kLoadKindConfiguration;
            m_nLastLoadResult = kLoadPending;
            m_nLastLoadResult = DownloadConfigFile(m_strPathName, m_strFileName);
            record.Finish(m_nLastLoadResult, m_nLastLoadResult == kConfigLoadDone);
            return true;
        }
    }
    if (extension == "img") {
        m_nLastLoadKind = kLoadKindImage;
        m_pDownloadVisit = record.Release(); // the download's worker finishes it
        StartImageDownload();
        return true;
    }
    if (extension == "txt") {
        // Its outcome is recorded like a configuration download's, so that neither the wizard nor the
        // command line takes an earlier load's result for this one.
        m_nLastLoadKind = kLoadKindConfiguration;
        m_nLastLoadResult = kLoadPending;
        m_nLastLoadResult = DownloadOtherFile(m_strPathName, m_strFileName);
        record.Finish(m_nLastLoadResult, m_nLastLoadResult == kConfigLoadDone);
        return true;
    }
    m_nLastLoadKind = kLoadKindImage;
    m_pUi->MessageBoxWithReason("Error: Unknown file type.",
                                {m_strPathName + ": Load takes *.img, *.dat, *.gif, *.htm, *.nxe, *.xif and "
                                                 "*.txt files."});
    return false;
}
