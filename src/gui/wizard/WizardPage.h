// What the Upgrade Wizard's modal pages share: the caption, texts above a row of buttons that end the page
// with their own results, and the keys. Escape and the close box give IDCANCEL; no button is the default,
// so Enter gives IDOK, which the wizard treats like cancel.
#pragma once

#include <QDialog>
#include <QStringList>

#include <map>

class QBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

// The pages' buttons and choices; the values are their "controlId" properties.
enum class EWizardControl {
    ImageFile = 1001,
    PageFile = 1002,
    ShowAtStartup = 1005,
    Next = 1014,
    Cancel = 1015,
    TryAgain = 1028,
    ComPort = 1029,
};

class CWizardPage : public QDialog {
    Q_OBJECT
public:
    // The button that ends the page with result (kWizardNext, IDCANCEL, ...), or null.
    QPushButton* Button(int result) const;
    // The page's texts, top to bottom.
    QStringList Texts() const;

    void reject() override;

protected:
    explicit CWizardPage(QWidget* owner);

    // A text of the page; lines longer than maxWidthDu dialog units wrap.
    QLabel* AddText(QBoxLayout* layout, const QString& text, int maxWidthDu);
    // Adds a button (right-aligned row, in call order) that ends the page with result.
    QPushButton* AddButton(const QString& text, EWizardControl control, int result);
    // The column above the buttons.
    QVBoxLayout* Body() const { return m_pBody; }

    void keyPressEvent(QKeyEvent* event) override;

private:
    QVBoxLayout* m_pBody;
    QBoxLayout* m_pButtons;
    std::map<int, QPushButton*> m_buttons;
    QList<QLabel*> m_texts;
};

// A label with a fixed size that fits text: as wide as its widest line up to maxWidth pixels, wrapping
// longer lines, as tall as that takes.
void FitTextLabel(QLabel* label, int maxWidth);
