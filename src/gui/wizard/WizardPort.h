// The desktop face's side of the Upgrade Wizard in the user-interface port: runs a modal page and shows
// the power-cycle notice, both on the GUI thread whichever thread asks.
#pragma once

#include "engine/app/UserInterface.h"
#include "gui/app/GuiCaller.h"

#include <QWidget>

#include <functional>
#include <memory>

// On the GUI thread: shows page (1, 2, 4, 5 or 6) modally over owner and returns its result. Page 1 takes
// and, on Next or Cancel, returns the check box in data; page 4 returns the file type on Next. Any other
// page number cancels.
int ExecWizardPage(QWidget* owner, EWizardPage page, WizardPageData& data);

// From any thread: the page on the GUI thread, owner chosen there; IDCANCEL when the call is refused (the
// program is closing).
int RunWizardPageThrough(CGuiCaller& caller, const std::function<QWidget*()>& owner, EWizardPage page,
                         WizardPageData& data);

// From any thread: the modeless notice (page 3), centred on owner (chosen on the GUI thread), until the
// returned object is destroyed.
std::unique_ptr<IWaitWindow> ShowWizardNoticeThrough(CGuiCaller& caller,
                                                     const std::function<QWidget*()>& owner);
