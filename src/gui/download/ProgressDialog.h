// The "File Progress" window: a small modeless window without buttons or close box that the S-record
// conversion shows, with a progress bar it advances as the input is read.
#pragma once

#include <QDialog>

class QProgressBar;

class CProgressDialog : public QDialog {
    Q_OBJECT
public:
    // Shown at once, centred on the screen.
    CProgressDialog();

    // Range 0..maximum, step 1, position 0.
    void SetProgressRange(int maximum);
    // One step on, never past the end of the range.
    void StepProgress();
    QProgressBar* Bar() const { return m_pBar; }
    // The range as set (the bar itself never gets an empty range, which would make it a busy indicator).
    int Maximum() const { return m_nMaximum; }

    void reject() override {} // Escape does not close it

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QProgressBar* m_pBar;
    int m_nMaximum = 0;
};
