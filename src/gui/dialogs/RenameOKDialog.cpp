#include "gui/dialogs/RenameOKDialog.h"

#include "engine/app/UiTexts.h"

CRenameOKDialog::CRenameOKDialog(QWidget* owner)
    : CYesNoDialog(owner, "Rename Configuration File", kRenameOkQuestion,
                   {220, 70, QRect(10, 9, 200, 32), true, 48, 52, 118}) {}
