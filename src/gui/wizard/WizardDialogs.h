// The Upgrade Wizard's six pages: welcome (1), cable (2), the power-cycle notice (3, modeless), file type
// (4), no controller detected (5) and another file required (6). Each modal page is made for one showing
// and ends with kWizardNext, kWizardTryAgain, kWizardComPort, IDCANCEL or, for Enter, IDOK.
#pragma once

#include "gui/wizard/WizardPage.h"

class QCheckBox;
class QLabel;
class QRadioButton;

// Welcome, with the "show Upgrade Wizard at startup" box ticked as given.
class CWizardDialog_1 : public CWizardPage {
    Q_OBJECT
public:
    CWizardDialog_1(QWidget* owner, bool showAtStartup);
    bool ShowAtStartup() const;
    QCheckBox* ShowAtStartupBox() const { return m_pShowAtStartup; }
    QLabel* Picture() const { return m_pPicture; }

private:
    QCheckBox* m_pShowAtStartup;
    QLabel* m_pPicture;
};

// How to connect the cable, with the connection diagram.
class CWizardDialog_2 : public CWizardPage {
    Q_OBJECT
public:
    explicit CWizardDialog_2(QWidget* owner);
    QLabel* Picture() const { return m_pPicture; }

private:
    QLabel* m_pPicture;
};

// The notice shown while the wizard waits for the controller's power cycle: shown at once, centred on
// its owner's window (or the screen), no buttons; the person cannot close it, the wizard removes it.
class CWizardDialog_3 : public QDialog {
    Q_OBJECT
public:
    explicit CWizardDialog_3(QWidget* owner);
    QStringList Texts() const;
    void SetFirstText(const QString& text);

    void reject() override {} // Escape does not close it

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_pTitle;
    QLabel* m_pText;
};

// The kind of file to download; the first choice is selected each time the page opens.
class CWizardDialog_4 : public CWizardPage {
    Q_OBJECT
public:
    explicit CWizardDialog_4(QWidget* owner);
    // 0 image file, 1 page file.
    int FileType() const;
    QRadioButton* ImageChoice() const { return m_pImage; }
    QRadioButton* PageChoice() const { return m_pPage; }

private:
    QRadioButton* m_pImage;
    QRadioButton* m_pPage;
};

// No controller answered: try again, choose another port, or cancel.
class CWizardDialog_5 : public CWizardPage {
    Q_OBJECT
public:
    explicit CWizardDialog_5(QWidget* owner);
};

// A configuration file must follow the image just downloaded.
class CWizardDialog_6 : public CWizardPage {
    Q_OBJECT
public:
    explicit CWizardDialog_6(QWidget* owner);
};
