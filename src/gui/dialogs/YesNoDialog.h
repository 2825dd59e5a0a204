// A question in a dialog of its own with Yes and No under its text: Yes accepts, No, Escape and the close
// box decline. The erase and rename confirmations differ only in caption, text and layout (dialog units).
#pragma once

#include <QDialog>
#include <QRect>

class QLabel;
class QPushButton;

class CYesNoDialog : public QDialog {
    Q_OBJECT
public:
    QString Text() const;
    QPushButton* YesButton() const { return m_pYes; }
    QPushButton* NoButton() const { return m_pNo; }

protected:
    struct SLayout {
        int nWidth, nHeight;
        QRect text;
        bool bWrap;
        int nButtonTop, nYesLeft, nNoLeft;
    };
    CYesNoDialog(QWidget* owner, const QString& caption, const QString& text, const SLayout& layout);

private:
    QLabel* m_pText;
    QPushButton* m_pYes;
    QPushButton* m_pNo;
};
