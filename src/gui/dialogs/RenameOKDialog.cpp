#include "gui/dialogs/RenameOKDialog.h"

#include "engine/app/UiTexts.h"
#include "gui/dialogs/DialogUnits.h"

#include <QLabel>
#include <QPushButton>

CRenameOKDialog::CRenameOKDialog(QWidget* owner) : QDialog(owner) {
    setWindowTitle("Rename Configuration File");
    setFixedSize(DialogRect(this, 0, 0, 220, 70).size());

    m_pText = new QLabel(kRenameOkQuestion, this);
    m_pText->setObjectName("text");
    m_pText->setTextFormat(Qt::PlainText);
    m_pText->setWordWrap(true);
    m_pText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pText->setGeometry(DialogRect(this, 10, 9, 200, 32));

    m_pYes = new QPushButton("Yes", this);
    m_pYes->setGeometry(DialogRect(this, 52, 48, 50, 14));
    m_pYes->setDefault(true);
    connect(m_pYes, &QPushButton::clicked, this, &QDialog::accept);
    m_pNo = new QPushButton("No", this);
    m_pNo->setGeometry(DialogRect(this, 118, 48, 50, 14));
    connect(m_pNo, &QPushButton::clicked, this, &QDialog::reject);
}

QString CRenameOKDialog::Text() const {
    return m_pText->text();
}
