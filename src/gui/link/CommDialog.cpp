#include "gui/link/CommDialog.h"

#include "gui/dialogs/DialogButtons.h"
#include "gui/dialogs/DialogUnits.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr int kComEntries = 9; // COM1..COM9, before the computer's own ports

} // namespace

CCommDialog::CCommDialog(QWidget* owner, int linkChoice, const std::string& currentPort,
                         const std::vector<std::string>& devicePorts)
    : QDialog(owner), m_nLinkChoice(linkChoice) {
    setWindowTitle("COM Port");
    setFixedSize(DialogRect(this, 0, 0, 186, 113).size());

    AddOkCancelButtons(this);

    auto* label = new QLabel("COM Port:", this);
    label->setGeometry(DialogRect(this, 10, 10, 50, 8));
    m_pPortList = new QComboBox(this);
    m_pPortList->setObjectName("portList");
    m_pPortList->setEditable(true);
    m_pPortList->setInsertPolicy(QComboBox::InsertAlphabetically);
    m_pPortList->setGeometry(DialogRect(this, 10, 20, 60, 14));
    for (int i = 1; i <= kComEntries; ++i)
        m_pPortList->addItem(QString("COM%1").arg(i));
    for (const std::string& device : devicePorts)
        m_pPortList->addItem(QString::fromStdString(device));
    // Device paths are wider than the box; the list that drops down shows them whole.
    m_pPortList->view()->setMinimumWidth(m_pPortList->view()->sizeHintForColumn(0) + 24);
    m_pPortList->setCurrentIndex(-1);
    m_pPortList->setEditText(QString());
    // A device path is selected only by its own entry: the first entry it begins would be another port
    // ("/dev/ttyUSB1" begins "/dev/ttyUSB10"). COM names keep selecting the first entry they begin.
    const QString current = QString::fromStdString(currentPort);
    const int exact = m_pPortList->findText(current, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (exact >= kComEntries) {
        m_pPortList->setCurrentIndex(exact);
    } else {
        for (int i = 0; i < kComEntries; ++i) {
            if (m_pPortList->itemText(i).startsWith(current, Qt::CaseInsensitive)) {
                m_pPortList->setCurrentIndex(i);
                break;
            }
        }
    }
    label->setBuddy(m_pPortList);

    auto* group = new QGroupBox("Use :", this);
    group->setGeometry(DialogRect(this, 10, 44, 110, 58));
    m_pCom = new QRadioButton("COM", group);
    m_pCom->setGeometry(DialogRect(this, 12, 14, 60, 12));
    m_pUsb = new QRadioButton("USB", group);
    m_pUsb->setGeometry(DialogRect(this, 12, 32, 60, 12));
    (linkChoice == 1 ? m_pUsb : m_pCom)->setChecked(true);

    m_pPortList->setFocus();
}

void CCommDialog::accept() {
    m_strPort = m_pPortList->currentText().toStdString();
    m_nLinkChoice = m_pUsb->isChecked() ? 1 : 0;
    QDialog::accept();
}
