// The "Erase Memory" dialog: five check boxes, one per memory area of the controller. For a controller in
// its bootstrap the boxes carry the bootstrap's names and Parameter Memory and LON Network Database are
// disabled. Nothing is ticked when it opens.
#pragma once

#include "engine/app/UserInterface.h"

#include <QDialog>

class QCheckBox;

class CEraseDialog : public QDialog {
    Q_OBJECT
public:
    // kind: the connection state the dialog is shown for.
    CEraseDialog(QWidget* owner, int kind);

    QCheckBox* AreaBox(EEraseArea area) const;
    // The ticks as they stand (the command reads them after OK).
    void GetAreas(EraseDialogData& data) const;

private:
    QCheckBox* m_pArea[kEraseAreaCount];
};
