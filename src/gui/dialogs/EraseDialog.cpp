#include "gui/dialogs/EraseDialog.h"

#include "engine/app/DravikApp.h"
#include "gui/dialogs/DialogButtons.h"
#include "gui/dialogs/DialogUnits.h"
#include "gui/dialogs/TextFit.h"

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
        m_pArea[i]->setObjectName(QString("area%1").arg(i));
        m_pArea[i]->setGeometry(DialogRect(this, 14, 22 + 16 * i, 110, 10));
    }
    if (bootstrap) {
        AreaBox(EEraseArea::Parameter)->setEnabled(false);
        AreaBox(EEraseArea::Lon)->setEnabled(false);
    }
    FitTextsToDialog(this);
}

QCheckBox* CEraseDialog::AreaBox(EEraseArea area) const {
    const int index = EraseAreaIndex(area);
    return index >= 0 && index < kEraseAreaCount ? m_pArea[index] : nullptr;
}

void CEraseDialog::GetAreas(EraseDialogData& data) const {
    for (int i = 0; i < kEraseAreaCount; ++i)
        data.bArea[i] = m_pArea[i]->isEnabled() && m_pArea[i]->isChecked();
}
