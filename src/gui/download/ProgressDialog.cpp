#include "gui/download/ProgressDialog.h"
#include "gui/dialogs/CenterOver.h"

#include "gui/dialogs/DialogUnits.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

CProgressDialog::CProgressDialog()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setModal(false);
    setWindowTitle("File Progress");
    setFixedSize(DialogRect(this, 0, 0, 186, 46).size());
    auto* label = new QLabel("Processing file...", this);
    label->setGeometry(DialogRect(this, 7, 7, 172, 8));
    m_pBar = new QProgressBar(this);
    m_pBar->setObjectName("progress");
    m_pBar->setGeometry(DialogRect(this, 7, 22, 172, 14));
    m_pBar->setTextVisible(false);
    SetProgressRange(0);
    CenterOverMainWindow(this);
    show();
    raise();
    repaint();
}

void CProgressDialog::SetProgressRange(int maximum) {
    m_nMaximum = maximum < 0 ? 0 : maximum;
    m_pBar->setRange(0, m_nMaximum > 0 ? m_nMaximum : 1);
    m_pBar->setValue(0);
}

void CProgressDialog::StepProgress() {
    if (m_pBar->value() < m_nMaximum) {
        m_pBar->setValue(m_pBar->value() + 1);
        // The conversion holds the GUI thread: paint now rather than at the next event loop turn.
        m_pBar->repaint();
    }
}

void CProgressDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
}
