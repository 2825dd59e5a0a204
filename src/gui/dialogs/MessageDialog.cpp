#include "gui/dialogs/MessageDialog.h"

#include "gui/dialogs/DialogUnits.h"

#include <QCloseEvent>
#include <QLabel>

CMessageDialog::CMessageDialog(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setModal(false);
    setFixedSize(DialogRect(this, 0, 0, 196, 42).size());
    m_pText = new QLabel(this);
    m_pText->setObjectName("message");
    m_pText->setGeometry(DialogRect(this, 7, 13, 182, 22));
    m_pText->setWordWrap(true);
    m_pText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (owner) {
        const QRect frame = owner->window()->frameGeometry();
        move(frame.center() - rect().center());
    }
    show();
    raise();
    repaint();
}

void CMessageDialog::SetCaption(const QString& caption) {
    setWindowTitle(caption);
}

void CMessageDialog::SetMessage(const QString& message) {
    m_pText->setText(message);
    m_pText->repaint();
}

QString CMessageDialog::Message() const {
    return m_pText->text();
}

void CMessageDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
}
