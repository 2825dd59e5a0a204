#include "gui/OptionsDialog.h"

#include "gui/DialogButtons.h"
#include "gui/DialogUnits.h"
#include "gui/TextFit.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr int kFirstRs232 = 1001;
constexpr int kFirstIr = 1005;
const char* const kChoiceLabels[4] = {"OS Configured", "Application Configured", "TCP/IP Client",
                                      "TCP/IP Server"};

QButtonGroup* MakeGroup(QDialog* dialog, const QString& title, int firstId, int y) {
    auto* box = new QGroupBox(title, dialog);
    box->setGeometry(DialogRect(dialog, 7, y, 110, 66));
    auto* group = new QButtonGroup(dialog);
    for (int i = 0; i < 4; ++i) {
        auto* button = new QRadioButton(kChoiceLabels[i], box);
        button->setObjectName(QString("choice%1").arg(firstId + i));
        button->setGeometry(DialogRect(dialog, 8, 12 + 13 * i, 96, 10));
        group->addButton(button, i);
    }
    return group;
}

} // namespace

COptionsDialog::COptionsDialog(QWidget* owner) : QDialog(owner) {
    setWindowTitle("RZN Configuration Options");
    setFixedSize(DialogRect(this, 0, 0, 186, 154).size());

    AddOkCancelButtons(this);

    m_pRs232 = MakeGroup(this, "RS232 Port Options", kFirstRs232, 7);
    m_pIr = MakeGroup(this, "IR Port Options", kFirstIr, 80);
    FitTextsToDialog(this);
}

QRadioButton* COptionsDialog::Choice(int controlId) const {
    if (controlId >= kFirstRs232 && controlId < kFirstRs232 + 4)
        return qobject_cast<QRadioButton*>(m_pRs232->button(controlId - kFirstRs232));
    if (controlId >= kFirstIr && controlId < kFirstIr + 4)
        return qobject_cast<QRadioButton*>(m_pIr->button(controlId - kFirstIr));
    return nullptr;
}

void COptionsDialog::GetChoices(OptionsDialogData& data) const {
    data.nRs232Choice = m_pRs232->checkedId();
    data.nIrChoice = m_pIr->checkedId();
}
