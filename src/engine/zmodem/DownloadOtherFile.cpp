// The Load command's branch for text files: the file goes by ZModem once the controller shows its '*'.
#include "engine/app/DravikApp.h"
#include "engine/app/UserInterface.h"
#include "engine/link/SerialHandler.h"
#include "engine/zmodem/ZModemDlg.h"

int CDravikApp::DownloadOtherFile(const std::string& path, const std::string& name) {
    (void)name; // the receiver gets the path's last component
    const bool usb = m_bUsbPresent && m_nLinkKind == kLinkUsb;
    const bool com = !usb && m_nLinkKind == kLinkCom;
    std::unique_ptr<CSerialHandler> link =
        OpenCommandLink("No serial link available! Please select one or check if USB connected.");
    if (!link)
        return com ? 4 : 14;
    // A new USB link reads with no wait at all; give it the link's usual read time-out so that the '*'
    // can arrive.
    if (usb)
        link->SetReadTimeout(kDefaultReadTimeout);
    link->WaitForByte('*');
    const ZModemOptions options{1, 1, 0};
    ZModemSendFile(*m_pUi, path, &options, *link);
    return 0;
}
