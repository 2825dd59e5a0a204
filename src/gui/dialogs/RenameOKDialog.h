// The question "Rename Configuration File": offered before a configuration file whose name is not
// config.dat is sent. Yes sends a copy named config.dat; No, Escape and the close box send it as it is.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class CRenameOKDialog : public QDialog {
    Q_OBJECT
public:
    explicit CRenameOKDialog(QWidget* owner);

    QString Text() const;
    QPushButton* YesButton() const { return m_pYes; }
    QPushButton* NoButton() const { return m_pNo; }

private:
    QLabel* m_pText;
    QPushButton* m_pYes;
    QPushButton* m_pNo;
};
