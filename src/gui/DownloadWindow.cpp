#include "gui/DownloadWindow.h"
#include "gui/CenterOver.h"

#include "engine/download/Download.h"

#include "gui/WideProgressBar.h"

#include "engine/app/UserInterface.h"
#include "gui/DialogUnits.h"
#include "gui/TransferFields.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <climits>

namespace {

// Top to bottom as the window shows them.
constexpr SFieldRow kRows[] = {
    {IDC_DOWNLOAD_FILENAME, "Filename", false},
    {IDC_DOWNLOAD_STATUS, "Status", false},
    {0, "Progress", false},
    {IDC_DOWNLOAD_START, "Start time", true},
    {IDC_DOWNLOAD_BYTES, "Transmitted bytes", true},
    {IDC_DOWNLOAD_ELAPSED, "Elapsed time", true},
    {IDC_DOWNLOAD_REMAINING, "Remaining time", true},
    {IDC_DOWNLOAD_SPEED, "Speed", true},
};

constexpr int kWidth = CTransferFields::kWidth;

} // namespace

CDownloadWindow::CDownloadWindow(std::function<void()> onCancel)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_onCancel(std::move(onCancel)) {
    setWindowTitle("File Download");
    setModal(false);
    // The program ends with its main window even while this one is up.
    setAttribute(Qt::WA_QuitOnClose, false);
    const int rows = static_cast<int>(std::size(kRows));
    const int buttonTop = CTransferFields::ButtonTop(rows);
    setFixedSize(DialogRect(this, 0, 0, kWidth, buttonTop + 14 + 7).size());

    m_fields.Build(this, kRows, rows);
    m_pProgress = m_fields.ProgressBar();
    // The status field holds its longest text at the font in use; the window widens with it if need be.
    if (QLineEdit* status = findChild<QLineEdit*>(QString("field%1").arg(IDC_DOWNLOAD_STATUS))) {
        int wanted = 0;
        for (const char* text : kDownloadStatusTexts)
            wanted = std::max(wanted, status->fontMetrics().horizontalAdvance(text));
        const int extra =
            std::max(0, wanted + 2 * status->fontMetrics().averageCharWidth() - status->width());
        if (extra > 0) {
            for (QLineEdit* field : findChildren<QLineEdit*>())
                field->resize(field->width() + extra, field->height());
            m_pProgress->resize(m_pProgress->width() + extra, m_pProgress->height());
            setFixedSize(width() + extra, height());
        }
    }

    m_pCancel = new QPushButton("&Cancel", this);
    const QRect cancel = DialogRect(this, 0, buttonTop, 50, 14);
    m_pCancel->setGeometry((width() - cancel.width()) / 2, cancel.y(), cancel.width(), cancel.height());
    m_pCancel->setDefault(true);
    connect(m_pCancel, &QPushButton::clicked, this, &CDownloadWindow::reject);

    CenterOverMainWindow(this);
    show();
    raise();
}

void CDownloadWindow::SetField(int controlId, const QString& text) {
    m_fields.SetField(controlId, text);
}

QString CDownloadWindow::Field(int controlId) const {
    return m_fields.Field(controlId);
}

QLineEdit* CDownloadWindow::FieldEdit(int controlId) const {
    return m_fields.FieldEdit(controlId);
}

void CDownloadWindow::SetProgressRange(uint32_t maximum) {
    m_pProgress->SetWideRange(maximum);
}

void CDownloadWindow::SetProgressPos(uint32_t position) {
    m_pProgress->SetWidePos(position);
}

void CDownloadWindow::SetProgressStep(uint32_t amount) {
    m_pProgress->SetWideStep(amount);
}

void CDownloadWindow::StepProgress() {
    m_pProgress->WideStep();
}

uint32_t CDownloadWindow::ProgressMaximum() const {
    return m_pProgress->WideMaximum();
}

uint32_t CDownloadWindow::ProgressPos() const {
    return m_pProgress->WidePos();
}

QProgressBar* CDownloadWindow::ProgressBar() const {
    return m_pProgress;
}

void CDownloadWindow::Dismiss() {
    hide();
    deleteLater();
}

void CDownloadWindow::reject() {
    if (!m_bCancelled) {
        m_bCancelled = true;
        if (m_onCancel)
            m_onCancel();
    }
    QDialog::reject();
    Dismiss();
}
