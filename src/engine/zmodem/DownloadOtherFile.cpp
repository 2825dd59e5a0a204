// The Load command's branch for text files: the file goes by ZModem once the controller shows its '*'.
#include "engine/app/DravikApp.h"
#include "engine/app/UserInterface.h"
#include "engine/commands/ZModemLoadResult.h"
#include "engine/link/SerialHandler.h"
#include "engine/zmodem/ZModemDlg.h"

int CDravikApp::DownloadOtherFile(const std::string& path, const std::string& name) {
    (void)name; // the receiver gets the path's last component
    int failure = 0;
    std::unique_ptr<CSerialHandler> link = OpenFileTransferLink(failure);
    if (!link)
        return failure;
    link->WaitForByte('*');
    const ZModemOptions options{1, 1, 0};
    const int transfer = ZModemSendFile(*m_pUi, path, &options, *link);
    const int result = ZModemLoadResult(*m_pUi, transfer);
    if (transfer == ZModemNoResponse)
        m_pUi->MessageBox("The controller did not take the file. Check the cable and the port, and that the "
                          "controller is waiting for a file; then load it again.");
    return result;
}
