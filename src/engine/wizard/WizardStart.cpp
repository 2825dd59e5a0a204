// Starting the Upgrade Wizard: its command, and the welcome page that the idle pass shows.
#include "engine/app/DravikApp.h"
#include "engine/app/UserInterface.h"
#include "engine/wizard/Wizard.h"

void CDravikApp::OnUpgradeWizard() {
    SwitchTerminalModeOff();
    m_bWizardRequest = true;
}

void CDravikApp::StartWizard() {
    // One wizard at a time: a second request while it runs is dropped.
    if (m_bWizardRunning)
        return;
    WizardPageData page;
    page.bShowAtStartup = m_strWizard == "WE";
    const int result = m_pUi->RunWizardPage(kWizardPageWelcome, page);
    if (result == kWizardNext || result == IDCANCEL) {
        const std::string wanted = page.bShowAtStartup ? "WE" : "WD";
        if (wanted != m_strWizard) {
            m_strWizard = wanted;
            SaveSettings();
        }
    }
    const bool goOn = result == kWizardNext || m_pUi->MessageBox("Exit Upgrade Wizard?", EMsgButtons::YesNo,
                                                                 EMsgIcon::Question) == IDNO;
    if (!goOn)
        return;
    if (!m_pWizard)
        m_pWizard = std::make_unique<CWizard>(*this);
    m_pWizard->Start();
}

int CDravikApp::RunRequestedLoad(int loadType) {
    return LoadFile(loadType) ? 1 : 0;
}
