// The wait window: a small modeless window without buttons that a command shows while the controller
// works. The person cannot close it; the command that made it removes it.
#pragma once

#include <QDialog>

class QLabel;

class CMessageDialog : public QDialog {
    Q_OBJECT
public:
    // Shown at once, centred on the owner (the main window) when there is one.
    explicit CMessageDialog(QWidget* owner);

    void SetCaption(const QString& caption);
    void SetMessage(const QString& message);
    QString Message() const;

    void reject() override {} // Escape does not close it

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_pText;
};
