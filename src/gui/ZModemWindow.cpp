#include "gui/ZModemWindow.h"

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
#include <iterator>

namespace {

struct SFieldRow {
    int nId; // 0: the progress bar's row
    const char* pszLabel;
    bool bRightAligned;
};

// Top to bottom as the window shows them.
constexpr SFieldRow kRows[] = {
    {IDC_ZMODEM_FILENAME, "Filename", false},   {0, "Progress", false},
    {IDC_ZMODEM_START, "Start time", true},     {IDC_ZMODEM_BYTES, "Transmitted bytes", true},
    {IDC_ZMODEM_ELAPSED, "Elapsed time", true}, {IDC_ZMODEM_REMAINING, "Remaining time", true},
    {IDC_ZMODEM_SPEED, "Speed", true},
};

constexpr int kRowTop = 7;
constexpr int kRowPitch = 16;
constexpr int kWidth = 236;
constexpr int kFieldLeft = 84;
constexpr int kButtonWidth = 50;

} // namespace

CZModemWindow::CZModemWindow(std::function<void()> onCancel, std::function<void()> onToggleUnit)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_onCancel(std::move(onCancel)), m_onToggleUnit(std::move(onToggleUnit)) {
    setWindowTitle("ZModem");
    setWindowModality(Qt::ApplicationModal);
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

    const int gap = (kWidth - 2 * kButtonWidth) / 3;
    m_pUnit = new QPushButton("&bps/cps", this);
    m_pUnit->setObjectName(QString("button%1").arg(IDC_ZMODEM_UNIT));
    m_pUnit->setGeometry(DialogRect(this, gap, buttonTop, kButtonWidth, 14));
    m_pUnit->setAutoDefault(false);
    connect(m_pUnit, &QPushButton::clicked, this, [this] {
        if (m_onToggleUnit)
            m_onToggleUnit();
    });
    m_pCancel = new QPushButton("&Cancel", this);
    m_pCancel->setGeometry(DialogRect(this, 2 * gap + kButtonWidth, buttonTop, kButtonWidth, 14));
    m_pCancel->setAutoDefault(false);
    connect(m_pCancel, &QPushButton::clicked, this, &CZModemWindow::reject);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    show();
    raise();
}

void CZModemWindow::SetField(int controlId, const QString& text) {
    if (QLineEdit* edit = FieldEdit(controlId)) {
        edit->setText(text);
        edit->setCursorPosition(0);
    }
}

QString CZModemWindow::Field(int controlId) const {
    const QLineEdit* edit = FieldEdit(controlId);
    return edit ? edit->text() : QString();
}

QLineEdit* CZModemWindow::FieldEdit(int controlId) const {
    const auto found = m_fields.find(controlId);
    return found == m_fields.end() ? nullptr : found->second;
}

void CZModemWindow::SetProgressRange(uint32_t maximum) {
    m_pProgress->SetWideRange(maximum);
}

void CZModemWindow::SetProgressPos(uint32_t position) {
    m_pProgress->SetWidePos(position);
}

uint32_t CZModemWindow::ProgressMaximum() const {
    return m_pProgress->WideMaximum();
}

uint32_t CZModemWindow::ProgressPos() const {
    return m_pProgress->WidePos();
}

QProgressBar* CZModemWindow::ProgressBar() const {
    return m_pProgress;
}

void CZModemWindow::Finish() {
    m_bFinished = true;
    hide();
    deleteLater();
}

void CZModemWindow::accept() {}

void CZModemWindow::reject() {
    if (!m_bFinished && m_onCancel)
        m_onCancel();
}
