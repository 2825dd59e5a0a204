#include "gui/EraseDialog.h"

#include "engine/app/DravikApp.h"
#include "gui/DialogButtons.h"
#include "gui/DialogUnits.h"
#include "gui/TextFit.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace {

const char* const kLabels[kEraseAreaCount] = {"Application Files", "Screen Configuration Files",
                                              "Parameter Memory", "Veloria Configuration",
                                              "LON Network Database"};
const char* const kBootstrapLabels[kEraseAreaCount] = {
    "DXU Application File", "Data Files", "Parameter Memory", "Comm. Board File", "LON Network Database"};

} // namespace

CEraseDialog::CEraseDialog(QWidget* owner, int kind) : QDialog(owner) {
    setWindowTitle("Erase Memory");
    setFixedSize(DialogRect(this, 0, 0, 186, 106).size());

    AddOkCancelButtons(this);

    auto* label = new QLabel("Select area to erase:", this);
    label->setGeometry(DialogRect(this, 7, 7, 110, 8));

    const bool bootstrap = kind == ConnectBootstrap;
    for (int i = 0; i < kEraseAreaCount; ++i) {
        m_pArea[i] = new QCheckBox(bootstrap ? kBootstrapLabels[i] : kLabels[i], this);
        m_pArea[i]->setObjectName(QString("area%1").arg(IDC_ERASE_APPLICATION + i));
        m_pArea[i]->setGeometry(DialogRect(this, 14, 22 + 16 * i, 110, 10));
    }
    if (bootstrap) {
        AreaBox(IDC_ERASE_PARAMETER)->setEnabled(false);
        AreaBox(IDC_ERASE_LON)->setEnabled(false);
    }
    FitTextsToDialog(this);
}

QCheckBox* CEraseDialog::AreaBox(int controlId) const {
    const int index = controlId - IDC_ERASE_APPLICATION;
    return index >= 0 && index < kEraseAreaCount ? m_pArea[index] : nullptr;
}

void CEraseDialog::GetAreas(EraseDialogData& data) const {
    for (int i = 0; i < kEraseAreaCount; ++i)
        data.bArea[i] = m_pArea[i]->isEnabled() && m_pArea[i]->isChecked();
}
