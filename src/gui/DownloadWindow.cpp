#include "gui/DownloadWindow.h"

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
            m_pProgress = new QProgressBar(this);
            m_pProgress->setObjectName("progress");
            m_pProgress->setGeometry(DialogRect(this, kFieldLeft, top, kWidth - kFieldLeft - 7, 12));
            m_pProgress->setTextVisible(false);
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
    ShowProgressBar();

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
    m_nMaximum = maximum;
    if (m_nPosition > m_nMaximum)
        m_nPosition = m_nMaximum;
    ShowProgressBar();
}

void CDownloadWindow::SetProgressPos(uint32_t position) {
    m_nPosition = position < m_nMaximum ? position : m_nMaximum;
    ShowProgressBar();
}

void CDownloadWindow::SetProgressStep(uint32_t amount) {
    m_nStep = amount;
}

void CDownloadWindow::StepProgress() {
    const uint64_t next = static_cast<uint64_t>(m_nPosition) + m_nStep;
    m_nPosition = next < m_nMaximum ? static_cast<uint32_t>(next) : m_nMaximum;
    ShowProgressBar();
}

void CDownloadWindow::ShowProgressBar() {
    // The widget counts in int: a range beyond it is halved until it fits, the position with it. A
    // range of 0 (a file too small for one step) shows an empty bar rather than a busy indicator.
    int shift = 0;
    while ((m_nMaximum >> shift) > static_cast<uint32_t>(INT_MAX))
        ++shift;
    const int maximum = static_cast<int>(m_nMaximum >> shift);
    m_pProgress->setRange(0, maximum > 0 ? maximum : 1);
    m_pProgress->setValue(static_cast<int>(m_nPosition >> shift));
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
