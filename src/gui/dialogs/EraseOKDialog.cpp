#include "gui/dialogs/EraseOKDialog.h"

#include "engine/app/UiTexts.h"
#include "gui/dialogs/DialogUnits.h"

#include <QLabel>
#include <QPushButton>

CEraseOKDialog::CEraseOKDialog(QWidget* owner) : QDialog(owner) {
    setWindowTitle("Erase Memory");
    setFixedSize(DialogRect(this, 0, 0, 186, 62).size());

    m_pText = new QLabel(kEraseOkQuestion, this);
    m_pText->setObjectName("text");
    m_pText->setTextFormat(Qt::PlainText);
    m_pText->setGeometry(DialogRect(this, 10, 9, 166, 20));

    m_pYes = new QPushButton("Yes", this);
    m_pYes->setGeometry(DialogRect(this, 35, 39, 50, 14));
    m_pYes->setDefault(true);
    connect(m_pYes, &QPushButton::clicked, this, &QDialog::accept);
    m_pNo = new QPushButton("No", this);
    m_pNo->setGeometry(DialogRect(this, 101, 39, 50, 14));
    connect(m_pNo, &QPushButton::clicked, this, &QDialog::reject);
}

QString CEraseOKDialog::Text() const {
    return m_pText->text();
}
