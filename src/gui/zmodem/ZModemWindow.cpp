#include "gui/zmodem/ZModemWindow.h"
#include "gui/dialogs/CenterOver.h"

#include "gui/download/WideProgressBar.h"

#include "engine/app/UserInterface.h"
#include "gui/dialogs/DialogUnits.h"
#include "gui/download/TransferFields.h"

#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <climits>
#include <iterator>

namespace {

// Top to bottom as the window shows them.
constexpr SFieldRow kRows[] = {
    {FieldNumber(EZModemField::FileName), "Filename", false},
    {kProgressRow, "Progress", false},
    {FieldNumber(EZModemField::Start), "Start time", true},
    {FieldNumber(EZModemField::Bytes), "Transmitted bytes", true},
    {FieldNumber(EZModemField::Elapsed), "Elapsed time", true},
    {FieldNumber(EZModemField::Remaining), "Remaining time", true},
    {FieldNumber(EZModemField::Speed), "Speed", true},
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
    m_pUnit->setObjectName(QString("button%1").arg(FieldNumber(EZModemField::UnitButton)));
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

void CZModemWindow::SetField(EZModemField field, const QString& text) {
    m_fields.SetField(FieldNumber(field), text);
}

QString CZModemWindow::Field(EZModemField field) const {
    return m_fields.Field(FieldNumber(field));
}

QLineEdit* CZModemWindow::FieldEdit(EZModemField field) const {
    return m_fields.FieldEdit(FieldNumber(field));
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
