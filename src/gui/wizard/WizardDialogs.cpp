#include "gui/wizard/WizardDialogs.h"

#include "engine/app/UiTexts.h"
#include "engine/app/UserInterface.h"
#include "gui/dialogs/DialogUnits.h"
#include "gui/wizard/WizardPictures.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace {

QLabel* PictureLabel(QWidget* parent, const QPixmap& pixmap, int resourceId) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString("picture%1").arg(resourceId));
    label->setPixmap(pixmap);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setFixedSize(pixmap.size() + QSize(2 * label->frameWidth(), 2 * label->frameWidth()));
    return label;
}

} // namespace

CWizardDialog_1::CWizardDialog_1(QWidget* owner, bool showAtStartup) : CWizardPage(owner) {
    auto* row = new QHBoxLayout;
    row->setSpacing(DialogRect(this, 0, 0, 10, 0).width());
    m_pPicture = PictureLabel(this, WizardWelcomePicture(), IDB_WIZARD_WELCOME);
    row->addWidget(m_pPicture, 0, Qt::AlignTop);
    auto* column = new QVBoxLayout;
    column->setSpacing(DialogRect(this, 0, 0, 0, 10).height());
    AddText(column,
            "Welcome to the Arvenco software Upgrade Wizard.\n\nThe Upgrade Wizard will walk you through the "
            "process of downloading software to your controller.",
            225);
    AddText(column,
            "To close the Upgrade Wizard and manually download software click \"Cancel\"\n\nTo follow the "
            "Upgrade Wizard click \"Next>>\"",
            225);
    column->addStretch(1);
    m_pShowAtStartup = new QCheckBox("show Upgrade Wizard at startup", this);
    m_pShowAtStartup->setProperty("controlId", static_cast<int>(EWizardControl::ShowAtStartup));
    m_pShowAtStartup->setChecked(showAtStartup);
    column->addWidget(m_pShowAtStartup);
    row->addLayout(column);
    Body()->addLayout(row);

    AddButton("&Next>>", EWizardControl::Next, kWizardNext);
    AddButton("&Cancel", EWizardControl::Cancel, IDCANCEL);
}

bool CWizardDialog_1::ShowAtStartup() const {
    return m_pShowAtStartup->isChecked();
}

CWizardDialog_2::CWizardDialog_2(QWidget* owner) : CWizardPage(owner) {
    AddText(
        Body(),
        "Connect controller to PC as shown below as required for your controller:\n    - COM: Use a standard "
        "null modem serial cable.\n    - USB: Use a standard USB cable for newer DXU with USB support.\n\n"
        "Click \"Next\" when connection is complete.",
        330);
    m_pPicture = PictureLabel(this, WizardConnectionPicture(), IDB_WIZARD_CONNECTION);
    Body()->addWidget(m_pPicture, 0, Qt::AlignHCenter);
    AddButton("&Next>>", EWizardControl::Next, kWizardNext);
    AddButton("&Cancel", EWizardControl::Cancel, IDCANCEL);
}

CWizardDialog_3::CWizardDialog_3(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setModal(false);
    setWindowTitle(kWizardCaption);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    const QRect margins = DialogRect(this, 10, 10, 10, 10);
    layout->setContentsMargins(margins.width(), margins.height(), margins.width(), margins.height());
    layout->setSpacing(DialogRect(this, 0, 0, 0, 8).height());
    m_pTitle = new QLabel(kWizardPowerCycleNotice, this);
    QFont bold = m_pTitle->font();
    bold.setBold(true);
    m_pTitle->setFont(bold);
    FitTextLabel(m_pTitle, DialogRect(this, 0, 0, 220, 0).width());
    layout->addWidget(m_pTitle);
    m_pText = new QLabel("The Wizard will try to establish a serial connection with the controller for 30 "
                         "seconds.  The controller must be cycled OFF/ON during the 30 sec.",
                         this);
    FitTextLabel(m_pText, DialogRect(this, 0, 0, 220, 0).width());
    layout->addWidget(m_pText);
    adjustSize();

    show();
    // Centred once the frame's size is known; move() places the frame's corner.
    const QRect area =
        owner ? owner->window()->frameGeometry() : QGuiApplication::primaryScreen()->availableGeometry();
    move(area.center() - QRect(QPoint(0, 0), frameGeometry().size()).center());
    raise();
    repaint();
}

QStringList CWizardDialog_3::Texts() const {
    return {m_pTitle->text(), m_pText->text()};
}

void CWizardDialog_3::SetFirstText(const QString& text) {
    m_pTitle->setText(text);
    FitTextLabel(m_pTitle, DialogRect(this, 0, 0, 220, 0).width());
}

void CWizardDialog_3::closeEvent(QCloseEvent* event) {
    event->ignore();
}

CWizardDialog_4::CWizardDialog_4(QWidget* owner) : CWizardPage(owner) {
    QLabel* ok = AddText(Body(), "Serial connection OK.", 260);
    QFont bold = ok->font();
    bold.setBold(true);
    ok->setFont(bold);
    FitTextLabel(ok, DialogRect(this, 0, 0, 260, 0).width());
    AddText(Body(), "Select the file type you wish to download to the controller:", 260);

    auto* choices = new QVBoxLayout;
    choices->setContentsMargins(DialogRect(this, 0, 0, 12, 0).width(), 0, 0, 0);
    m_pImage = new QRadioButton("Image file (*.img).  Application or Configuration (Page) file.", this);
    m_pImage->setProperty("controlId", static_cast<int>(EWizardControl::ImageFile));
    m_pPage = new QRadioButton("Page file (*.dat).   Configuration (Page) file.", this);
    m_pPage->setProperty("controlId", static_cast<int>(EWizardControl::PageFile));
    auto* group = new QButtonGroup(this);
    group->addButton(m_pImage, 0);
    group->addButton(m_pPage, 1);
    m_pImage->setChecked(true);
    choices->addWidget(m_pImage);
    choices->addWidget(m_pPage);
    Body()->addLayout(choices);

    AddText(Body(), "After selecting the file type click \"Next>>\" to select the file to be downloaded.",
            260);
    AddButton("&Next>>", EWizardControl::Next, kWizardNext);
    AddButton("&Cancel", EWizardControl::Cancel, IDCANCEL);
}

int CWizardDialog_4::FileType() const {
    return m_pPage->isChecked() ? 1 : 0;
}

CWizardDialog_5::CWizardDialog_5(QWidget* owner) : CWizardPage(owner) {
    QLabel* title = AddText(Body(), "No controller detected!", 280);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    FitTextLabel(title, DialogRect(this, 0, 0, 280, 0).width());
    AddText(
        Body(),
        "Try again by clicking \"Try Again\".  Immediately after clicking \"Try Again\" cycle the controller "
        "OFF/ON.",
        280);
    AddText(
        Body(),
        "If the problem persists try the following: \n1) Check cable between PC and controller.  The cable "
        "must be in the PC \n    serial port that is selected. \n 2) Check the comm port selection on the "
        "PC.  To change the comm port \n    setting click 'Com Port'.",
        300);
    AddButton("&Try Again", EWizardControl::TryAgain, kWizardTryAgain);
    AddButton("&Com Port", EWizardControl::ComPort, kWizardComPort);
    AddButton("&Cancel", EWizardControl::Cancel, IDCANCEL);
}

CWizardDialog_6::CWizardDialog_6(QWidget* owner) : CWizardPage(owner) {
    AddText(
        Body(),
        "Another file is required!\n\nThe controller requires the download of a configuration file \n(*.dat "
        "or *.img).  The controller will not operate correctly without \nthis file.\n\nClick \"Next\" and "
        "select the *.dat or *.img file you wish to download.",
        300);
    AddButton("&Next>>", EWizardControl::Next, kWizardNext);
    AddButton("&Cancel", EWizardControl::Cancel, IDCANCEL);
}
