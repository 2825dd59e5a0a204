#include "gui/DownloadWindow.h"

#include "gui/WideProgressBar.h"

#include "engine/app/UserInterface.h"
#include "gui/DialogUnits.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <climits>

namespace {

struct SFieldRow {
    int nId; // 0: the progress bar's row
    const char* pszLabel;
    bool bRightAligned;
};

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

constexpr int kRowTop = 7;
constexpr int kRowPitch = 16;
constexpr int kWidth = 236;
constexpr int kFieldLeft = 84;

} // namespace

CDownloadWindow::CDownloadWindow(std::function<void()> onCancel)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_onCancel(std::move(onCancel)) {
    setWindowTitle("File Download");
    setModal(false);
    // The program ends with its main window even while this one is up.
    setAttribute(Qt::WA_QuitOnClose, false);
    const int rows = static_cast<int>(std::size(kRows));
    const int buttonTop = kRowTop + rows * kRowPitch + 4;
    setFixedSize(DialogRect(this, 0, 0, kWidth, buttonTop + 14 + 7).size());

    for (int i = 0; i < rows; ++i) {
        const SFieldRow& row = kRows[i];
        const int top = kRowTop + i * kRowPitch;
        auto* label = new QLabel(row.pszLabel, this);
        label->setGeometry(DialogRect(this, 7, top + 2, kFieldLeft - 10, 8));
        if (row.nId == 0) {
            m_pProgress = new CWideProgressBar(this);
            m_pProgress->setObjectName("progress");
            m_pProgress->setGeometry(DialogRect(this, kFieldLeft, top, kWidth - kFieldLeft - 7, 12));
            label->setBuddy(m_pProgress);
            continue;
        }
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString("field%1").arg(row.nId));
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::TabFocus);
        edit->setAlignment(row.bRightAligned ? Qt::AlignRight : Qt::AlignLeft);
        edit->setGeometry(DialogRect(this, kFieldLeft, top, kWidth - kFieldLeft - 7, 12));
        label->setBuddy(edit);
        m_fields[row.nId] = edit;
    }

    m_pCancel = new QPushButton("&Cancel", this);
    m_pCancel->setGeometry(DialogRect(this, (kWidth - 50) / 2, buttonTop, 50, 14));
    m_pCancel->setDefault(true);
    connect(m_pCancel, &QPushButton::clicked, this, &CDownloadWindow::reject);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    show();
    raise();
}

void CDownloadWindow::SetField(int controlId, const QString& text) {
    if (QLineEdit* edit = FieldEdit(controlId)) {
        edit->setText(text);
        edit->setCursorPosition(0);
    }
}

QString CDownloadWindow::Field(int controlId) const {
    const QLineEdit* edit = FieldEdit(controlId);
    return edit ? edit->text() : QString();
}

QLineEdit* CDownloadWindow::FieldEdit(int controlId) const {
    const auto found = m_fields.find(controlId);
    return found == m_fields.end() ? nullptr : found->second;
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
