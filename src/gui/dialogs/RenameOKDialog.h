// The question "Rename Configuration File": offered before a configuration file whose name is not
// config.dat is sent. Yes sends a copy named config.dat; No, Escape and the close box send it as it is.
#pragma once

#include "gui/dialogs/YesNoDialog.h"

class CRenameOKDialog : public CYesNoDialog {
    Q_OBJECT
public:
    explicit CRenameOKDialog(QWidget* owner);
};
