#include "gui/dialogs/OptionsDialog.h"

#include "gui/dialogs/DialogButtons.h"
#include "gui/dialogs/DialogUnits.h"
#include "gui/dialogs/TextFit.h"

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

QRadioButton* COptionsDialog::Choice(EOptionsGroup group, int choice) const {
    return qobject_cast<QRadioButton*>((group == EOptionsGroup::Rs232 ? m_pRs232 : m_pIr)->button(choice));
}

void COptionsDialog::GetChoices(OptionsDialogData& data) const {
    data.nRs232Choice = m_pRs232->checkedId();
    data.nIrChoice = m_pIr->checkedId();
}
