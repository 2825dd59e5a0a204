// About Dravik: the program's version text in the About box.
#include "engine/app/DravikApp.h"
#include "engine/app/UserInterface.h"
#include "engine/app/VersionText.h"

void CDravikApp::OnAbout() {
    m_pUi->RunAboutDialog(kDravikVersionText);
}
