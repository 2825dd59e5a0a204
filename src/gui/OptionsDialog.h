// The "RZN Configuration Options" dialog: one group of four radio buttons for the controller's RS-232 port
// and one for its infrared port. Both open with no button selected, whatever was chosen before.
#pragma once

#include "engine/app/UserInterface.h"

#include <QDialog>

class QButtonGroup;
class QRadioButton;

class COptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit COptionsDialog(QWidget* owner);

    // The radio button of control id 1001..1008.
    QRadioButton* Choice(int controlId) const;
    // The selected index of each group (0..3), -1 for none.
    void GetChoices(OptionsDialogData& data) const;

private:
    QButtonGroup* m_pRs232;
    QButtonGroup* m_pIr;
};
