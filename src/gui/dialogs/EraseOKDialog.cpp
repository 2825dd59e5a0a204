#include "gui/dialogs/EraseOKDialog.h"

#include "engine/app/UiTexts.h"

CEraseOKDialog::CEraseOKDialog(QWidget* owner)
    : CYesNoDialog(owner, "Erase Memory", kEraseOkQuestion,
                   {186, 62, QRect(10, 9, 166, 20), false, 39, 35, 101}) {}
