// The "ZModem" window: the file name, a progress bar and the transfer figures in read-only fields, the
// "&bps/cps" button that switches the speed unit, and Cancel. Modal while a transfer runs; Cancel,
// Escape and the close box only ask the transfer to stop, and Enter does nothing, so the window stays
// until the transfer's worker has ended and Finish takes it away.
#pragma once

#include "engine/app/UiTransferViews.h"
#include "gui/download/TransferFields.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <map>

class QLineEdit;
class CWideProgressBar;
class QProgressBar;
class QPushButton;

class CZModemWindow : public QDialog {
    Q_OBJECT
public:
    // Shown at once; the functions run on this thread when the buttons are pressed.
    CZModemWindow(std::function<void()> onCancel, std::function<void()> onToggleUnit);

    // The text fields; the bar (Progress) has none.
    void SetField(EZModemField field, const QString& text);
    QString Field(EZModemField field) const;
    QLineEdit* FieldEdit(EZModemField field) const;

    // The bar: range 0..maximum and the position, kept inside it; wide ranges are scaled down.
    void SetProgressRange(uint32_t maximum);
    void SetProgressPos(uint32_t position);
    uint32_t ProgressMaximum() const;
    uint32_t ProgressPos() const;
    QProgressBar* ProgressBar() const;
    QPushButton* CancelButton() const { return m_pCancel; }
    QPushButton* UnitButton() const { return m_pUnit; }

    // The transfer has ended: the window goes (deleted when control returns to the event loop).
    void Finish();

    void accept() override; // Enter: refused
    void reject() override; // Cancel, Escape and the close box: the transfer is asked to stop

private:
    std::function<void()> m_onCancel;
    std::function<void()> m_onToggleUnit;
    CTransferFields m_fields;
    CWideProgressBar* m_pProgress = nullptr;
    QPushButton* m_pUnit = nullptr;
    QPushButton* m_pCancel = nullptr;
    bool m_bFinished = false;
};
