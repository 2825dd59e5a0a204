// The OK and Cancel buttons stacked at the top right of the program's small dialogs (186 units wide),
// OK the default.
#pragma once

#include "gui/dialogs/DialogUnits.h"

#include <QDialog>
#include <QPushButton>

inline void AddOkCancelButtons(QDialog* dialog) {
    auto* ok = new QPushButton("OK", dialog);
    ok->setObjectName("ok");
    ok->setGeometry(DialogRect(dialog, 129, 7, 50, 14));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    auto* cancel = new QPushButton("Cancel", dialog);
    cancel->setObjectName("cancel");
    cancel->setGeometry(DialogRect(dialog, 129, 24, 50, 14));
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}
