#include "gui/download/TransferFields.h"

#include "gui/dialogs/DialogUnits.h"
#include "gui/download/WideProgressBar.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>

namespace {

constexpr int kFieldLeft = 84;

} // namespace

void CTransferFields::Build(QDialog* window, const SFieldRow* rows, int count) {
    for (int i = 0; i < count; ++i) {
        const SFieldRow& row = rows[i];
        const int top = kRowTop + i * kRowPitch;
        auto* label = new QLabel(row.pszLabel, window);
        label->setGeometry(DialogRect(window, 7, top + 2, kFieldLeft - 10, 8));
        const QRect field = DialogRect(window, kFieldLeft, top, kWidth - kFieldLeft - 7, 12);
        if (row.nId == kProgressRow) {
            m_pProgress = new CWideProgressBar(window);
            m_pProgress->setObjectName("progress");
            m_pProgress->setGeometry(field);
            label->setBuddy(m_pProgress);
            continue;
        }
        auto* edit = new QLineEdit(window);
        edit->setObjectName(QString("field%1").arg(row.nId));
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::TabFocus);
        edit->setAlignment(row.bRightAligned ? Qt::AlignRight : Qt::AlignLeft);
        edit->setGeometry(field);
        label->setBuddy(edit);
        m_fields[row.nId] = edit;
    }
}

void CTransferFields::SetField(int number, const QString& text) {
    if (QLineEdit* edit = FieldEdit(number)) {
        edit->setText(text);
        edit->setCursorPosition(0);
    }
}

QString CTransferFields::Field(int number) const {
    const QLineEdit* edit = FieldEdit(number);
    return edit ? edit->text() : QString();
}

QLineEdit* CTransferFields::FieldEdit(int number) const {
    const auto found = m_fields.find(number);
    return found == m_fields.end() ? nullptr : found->second;
}
