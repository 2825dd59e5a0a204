// The "RZN Configuration Options" dialog: one group of four radio buttons for the controller's RS-232 port
// and one for its infrared port. Both open with no button selected, whatever was chosen before.
#pragma once

#include "engine/app/UserInterface.h"

#include <QDialog>

class QButtonGroup;
class QRadioButton;

// The dialog's two groups of choices.
enum class EOptionsGroup { Rs232, Ir };

class COptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit COptionsDialog(QWidget* owner);

    // The radio button of a group's choice 0..3 (as OptionsDialogData numbers them), or null.
    QRadioButton* Choice(EOptionsGroup group, int choice) const;
    // The selected index of each group (0..3), -1 for none.
    void GetChoices(OptionsDialogData& data) const;

private:
    QButtonGroup* m_pRs232;
    QButtonGroup* m_pIr;
};
