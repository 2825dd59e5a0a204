#include "gui/ZModemWindow.h"
#include "gui/CenterOver.h"

#include "gui/WideProgressBar.h"

#include "engine/app/UserInterface.h"
#include "gui/DialogUnits.h"
#include "gui/TransferFields.h"

#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <climits>
#include <iterator>

namespace {

// Top to bottom as the window shows them.
constexpr SFieldRow kRows[] = {
    {IDC_ZMODEM_FILENAME, "Filename", false},   {0, "Progress", false},
    {IDC_ZMODEM_START, "Start time", true},     {IDC_ZMODEM_BYTES, "Transmitted bytes", true},
    {IDC_ZMODEM_ELAPSED, "Elapsed time", true}, {IDC_ZMODEM_REMAINING, "Remaining time", true},
    {IDC_ZMODEM_SPEED, "Speed", true},
};

constexpr int kWidth = CTransferFields::kWidth;
constexpr int kButtonWidth = 50;

} // namespace

CZModemWindow::CZModemWindow(std::function<void()> onCancel, std::function<void()> onToggleUnit)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_onCancel(std::move(onCancel)), m_onToggleUnit(std::move(onToggleUnit)) {
    setWindowTitle("ZModem");
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_QuitOnClose, false);
    const int rows = static_cast<int>(std::size(kRows));
    const int buttonTop = CTransferFields::ButtonTop(rows);
    setFixedSize(DialogRect(this, 0, 0, kWidth, buttonTop + 14 + 7).size());

    m_fields.Build(this, kRows, rows);
    m_pProgress = m_fields.ProgressBar();

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

    CenterOverMainWindow(this);
    show();
    raise();
}

void CZModemWindow::SetField(int controlId, const QString& text) {
    m_fields.SetField(controlId, text);
}

QString CZModemWindow::Field(int controlId) const {
    return m_fields.Field(controlId);
}

QLineEdit* CZModemWindow::FieldEdit(int controlId) const {
    return m_fields.FieldEdit(controlId);
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
