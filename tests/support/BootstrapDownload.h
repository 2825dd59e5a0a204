// An image download as the Load command runs it, on an application of its own whose boxes go to ui: the
// controller at port is taken to be in its bootstrap, the erase question is answered Yes.
#pragma once

#include "engine/app/DravikApp.h"
#include "support/TestUserInterface.h"

#include <string>

// The load's result code.
inline int RunBootstrapDownload(CTestUserInterface& ui, const std::string& port, const std::string& image) {
    CDravikApp app(&ui);
    app.m_strPort = port;
    app.m_nConnectState = ConnectBootstrap;
    app.m_strPathName = image;
    ui.QueueAnswer(IDYES);
    app.StartImageDownload();
    app.WaitForDownload();
    return app.m_nLastLoadResult;
}
