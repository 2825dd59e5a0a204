// The erase confirmation "Erase Memory": asks before a download erases the controller's memory. Yes
// accepts, No, Escape and the close box decline.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class CEraseOKDialog : public QDialog {
    Q_OBJECT
public:
    explicit CEraseOKDialog(QWidget* owner);

    QString Text() const;
    QPushButton* YesButton() const { return m_pYes; }
    QPushButton* NoButton() const { return m_pNo; }

private:
    QLabel* m_pText;
    QPushButton* m_pYes;
    QPushButton* m_pNo;
};
