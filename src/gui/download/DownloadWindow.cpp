#include "gui/download/DownloadWindow.h"
#include "gui/dialogs/CenterOver.h"

#include "engine/download/Download.h"

#include "gui/download/WideProgressBar.h"

#include "engine/app/UserInterface.h"
#include "gui/dialogs/DialogUnits.h"
#include "gui/download/TransferFields.h"

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
    {FieldNumber(EDownloadField::FileName), "Filename", false},
    {FieldNumber(EDownloadField::Status), "Status", false},
    {kProgressRow, "Progress", false},
    {FieldNumber(EDownloadField::Start), "Start time", true},
    {FieldNumber(EDownloadField::Bytes), "Transmitted bytes", true},
    {FieldNumber(EDownloadField::Elapsed), "Elapsed time", true},
    {FieldNumber(EDownloadField::Remaining), "Remaining time", true},
    {FieldNumber(EDownloadField::Speed), "Speed", true},
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
    if (QLineEdit* status =
            findChild<QLineEdit*>(QString("field%1").arg(FieldNumber(EDownloadField::Status)))) {
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

void CDownloadWindow::SetField(EDownloadField field, const QString& text) {
    m_fields.SetField(FieldNumber(field), text);
}

QString CDownloadWindow::Field(EDownloadField field) const {
    return m_fields.Field(FieldNumber(field));
}

QLineEdit* CDownloadWindow::FieldEdit(EDownloadField field) const {
    return m_fields.FieldEdit(FieldNumber(field));
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
