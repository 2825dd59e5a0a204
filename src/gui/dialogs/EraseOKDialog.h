// The erase confirmation "Erase Memory": asks before a download erases the controller's memory. Yes
// accepts, No, Escape and the close box decline.
#pragma once

#include "gui/dialogs/YesNoDialog.h"

class CEraseOKDialog : public CYesNoDialog {
    Q_OBJECT
public:
    explicit CEraseOKDialog(QWidget* owner);
};
