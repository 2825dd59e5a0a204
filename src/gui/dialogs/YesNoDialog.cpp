#include "gui/dialogs/YesNoDialog.h"

#include "gui/dialogs/DialogUnits.h"

#include <QLabel>
#include <QPushButton>

CYesNoDialog::CYesNoDialog(QWidget* owner, const QString& caption, const QString& text, const SLayout& layout)
    : QDialog(owner) {
    setWindowTitle(caption);
    setFixedSize(DialogRect(this, 0, 0, layout.nWidth, layout.nHeight).size());

    m_pText = new QLabel(text, this);
    m_pText->setObjectName("text");
    m_pText->setTextFormat(Qt::PlainText);
    if (layout.bWrap) {
        m_pText->setWordWrap(true);
        m_pText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    m_pText->setGeometry(
        DialogRect(this, layout.text.x(), layout.text.y(), layout.text.width(), layout.text.height()));

    m_pYes = new QPushButton("Yes", this);
    m_pYes->setGeometry(DialogRect(this, layout.nYesLeft, layout.nButtonTop, 50, 14));
    m_pYes->setDefault(true);
    connect(m_pYes, &QPushButton::clicked, this, &QDialog::accept);
    m_pNo = new QPushButton("No", this);
    m_pNo->setGeometry(DialogRect(this, layout.nNoLeft, layout.nButtonTop, 50, 14));
    connect(m_pNo, &QPushButton::clicked, this, &QDialog::reject);
}

QString CYesNoDialog::Text() const {
    return m_pText->text();
}
