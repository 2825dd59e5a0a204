// The "File Download" window: the file name, status texts and transfer figures of an image download in
// read-only fields, a progress bar and Cancel. Modeless and centred on the screen; the download worker
// fills it through the download view. Cancel, Escape and the close box report to the download and take
// the window away.
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

class CDownloadWindow : public QDialog {
    Q_OBJECT
public:
    // Shown at once; onCancel runs once, on this thread, when the person cancels or closes the window.
    explicit CDownloadWindow(std::function<void()> onCancel);

    // The text fields; the bar (Progress) has none.
    void SetField(EDownloadField field, const QString& text);
    QString Field(EDownloadField field) const;
    QLineEdit* FieldEdit(EDownloadField field) const;

    // The bar as the download drives it: range 0..maximum, position, step amount and step. Positions are
    // kept inside the range; ranges beyond what the widget holds are scaled down.
    void SetProgressRange(uint32_t maximum);
    void SetProgressPos(uint32_t position);
    void SetProgressStep(uint32_t amount);
    void StepProgress();
    uint32_t ProgressMaximum() const;
    uint32_t ProgressPos() const;
    QProgressBar* ProgressBar() const;
    QPushButton* CancelButton() const { return m_pCancel; }

    // Takes the window off the screen and deletes it when control returns to the event loop.
    void Dismiss();

    void reject() override; // Cancel button, Escape and the close box

private:
    std::function<void()> m_onCancel;
    CTransferFields m_fields;
    CWideProgressBar* m_pProgress;
    QPushButton* m_pCancel;
    bool m_bCancelled = false;
};
