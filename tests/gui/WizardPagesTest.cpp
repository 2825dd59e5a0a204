// The Upgrade Wizard's pages through the user-interface port: each page's caption, texts, pictures and
// buttons; the results of its buttons, Escape, the close box and Enter; the welcome page's check box in
// and out; the file type choice; a page and the power-cycle notice asked for from a worker thread.
#include "GuiTestSupport.h"
#include "engine/app/DravikApp.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"
#include "gui/wizard/WizardDialogs.h"
#include "gui/wizard/WizardPictures.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class WizardPagesTest : public testing::Test {
protected:
    WizardPagesTest() : m_app(&m_ui), m_frame(m_app) {
        m_ui.SetMainFrame(&m_frame);
        m_frame.show();
        ProcessQueued();
    }

    // Shows page on this (the GUI) thread and lets action answer it once it runs.
    int Run(int page, WizardPageData& data, std::function<void(CWizardPage*)> action) {
        bool seen = false;
        OnNextModal<CWizardPage>([&, action](CWizardPage* dialog) {
            seen = true;
            action(dialog);
        });
        const int result = m_ui.RunWizardPage(static_cast<EWizardPage>(page), data);
        EXPECT_TRUE(seen) << "page " << page << " was not shown modally";
        return result;
    }
    int Run(int page, std::function<void(CWizardPage*)> action) {
        WizardPageData data;
        return Run(page, data, std::move(action));
    }

    static CWizardDialog_3* Notice() {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* notice = qobject_cast<CWizardDialog_3*>(widget); notice && notice->isVisible())
                return notice;
        return nullptr;
    }

    CQtUserInterface m_ui;
    CDravikApp m_app;
    CMainFrame m_frame;
};

// A key press as the keyboard delivers it: to the widget with the focus, passed up when it is not taken.
void PressKey(QWidget* dialog, int key) {
    QWidget* target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

struct PageButton {
    QString strText;
    int nControlId;
    int nResult;
    QKeySequence mnemonic;
};

QList<PageButton> ButtonsOf(CWizardPage* page) {
    QList<PageButton> buttons;
    for (QPushButton* button : page->findChildren<QPushButton*>()) {
        int result = 0;
        for (int candidate : {kWizardNext, kWizardTryAgain, kWizardComPort, IDCANCEL})
            if (page->Button(candidate) == button)
                result = candidate;
        buttons << PageButton{button->text(), button->property("controlId").toInt(), result,
                              button->shortcut()};
    }
    return buttons;
}

bool operator==(const PageButton& a, const PageButton& b) {
    return a.strText == b.strText && a.nControlId == b.nControlId && a.nResult == b.nResult &&
           a.mnemonic == b.mnemonic;
}

void PrintTo(const PageButton& button, std::ostream* out) {
    *out << button.strText.toStdString() << " (" << button.nControlId << ") -> " << button.nResult << ", "
         << button.mnemonic.toString().toStdString();
}

TEST_F(WizardPagesTest, EachPageShowsItsCaptionTextsAndButtons) {
    const QKeySequence altN(Qt::ALT | Qt::Key_N), altC(Qt::ALT | Qt::Key_C), altT(Qt::ALT | Qt::Key_T);
    const QList<PageButton> nextCancel = {{"&Next>>", 1014, kWizardNext, altN},
                                          {"&Cancel", 1015, IDCANCEL, altC}};
    struct Expected {
        int nPage;
        QStringList texts;
        QList<PageButton> buttons;
    };
    const Expected pages[] = {
        {1,
         {"Welcome to the Arvenco software Upgrade Wizard.\n\nThe Upgrade Wizard will walk you through the "
          "process of downloading software to your controller.",
          "To close the Upgrade Wizard and manually download software click \"Cancel\"\n\nTo follow the "
          "Upgrade "
          "Wizard click \"Next>>\""},
         nextCancel},
        {2,
         {"Connect controller to PC as shown below as required for your controller:\n    - COM: Use a "
          "standard "
          "null modem serial cable.\n    - USB: Use a standard USB cable for newer DXU with USB support.\n\n"
          "Click \"Next\" when connection is complete."},
         nextCancel},
        {4,
         {"Serial connection OK.", "Select the file type you wish to download to the controller:",
          "After selecting the file type click \"Next>>\" to select the file to be downloaded."},
         nextCancel},
        {5,
         {"No controller detected!",
          "Try again by clicking \"Try Again\".  Immediately after clicking \"Try Again\" cycle the "
          "controller "
          "OFF/ON.",
          "If the problem persists try the following: \n1) Check cable between PC and controller.  The cable "
          "must be in the PC \n    serial port that is selected. \n 2) Check the comm port selection on the "
          "PC.  "
          "To change the comm port \n    setting click 'Com Port'."},
         {{"&Try Again", 1028, kWizardTryAgain, altT},
          {"&Com Port", 1029, kWizardComPort, altC},
          {"&Cancel", 1015, IDCANCEL, altC}}},
        {6,
         {"Another file is required!\n\nThe controller requires the download of a configuration file "
          "\n(*.dat or "
          "*.img).  The controller will not operate correctly without \nthis file.\n\nClick \"Next\" and "
          "select "
          "the *.dat or *.img file you wish to download."},
         nextCancel},
    };
    for (const Expected& expected : pages) {
        SCOPED_TRACE(testing::Message() << "page " << expected.nPage);
        QString caption;
        QStringList texts;
        QList<PageButton> buttons;
        bool modal = false, ownedByFrame = false, anyDefault = true, textsFit = true;
        QStringList pictures;
        const int result = Run(expected.nPage, [&](CWizardPage* page) {
            caption = page->windowTitle();
            texts = page->Texts();
            buttons = ButtonsOf(page);
            modal = page->isModal();
            ownedByFrame = page->parentWidget() == &m_frame;
            anyDefault = false;
            for (QPushButton* button : page->findChildren<QPushButton*>())
                anyDefault |= button->isDefault() || button->autoDefault();
            for (QLabel* label : page->findChildren<QLabel*>()) {
                if (!label->pixmap().isNull())
                    pictures << label->objectName();
                else if (label->heightForWidth(label->width()) > label->height())
                    textsFit = false; // a wrapped text would be cut off
            }
            page->Button(IDCANCEL)->click();
        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_EQ(caption, "Upgrade Wizard");
        EXPECT_EQ(texts, expected.texts);
        EXPECT_EQ(buttons, expected.buttons);
        EXPECT_TRUE(modal);
        EXPECT_TRUE(ownedByFrame);
        EXPECT_FALSE(anyDefault) << "no page has a default button";
        EXPECT_TRUE(textsFit);
        const QStringList expectedPictures = expected.nPage == 1   ? QStringList{"picture161"}
                                             : expected.nPage == 2 ? QStringList{"picture151"}
                                                                   : QStringList{};
        EXPECT_EQ(pictures, expectedPictures);
    }
}

TEST_F(WizardPagesTest, ButtonsEscapeCloseBoxAndEnterGiveTheirResults) {
    struct Case {
        int nPage;
        const char* pszHow;
        std::function<void(CWizardPage*)> action;
        int nExpected;
    };
    auto click = [](int result) { return [result](CWizardPage* page) { page->Button(result)->click(); }; };
    auto escape = [](CWizardPage* page) { PressKey(page, Qt::Key_Escape); };
    auto closeBox = [](CWizardPage* page) { page->close(); };
    // Enter while a button has the focus: it does not press that button.
    auto enterOn = [](int result) {
        return [result](CWizardPage* page) {
            page->Button(result)->setFocus();
            PressKey(page, Qt::Key_Return);
        };
    };
    const Case cases[] = {
        {1, "Next", click(kWizardNext), kWizardNext},
        {1, "Cancel", click(IDCANCEL), IDCANCEL},
        {1, "Escape", escape, IDCANCEL},
        {1, "close box", closeBox, IDCANCEL},
        {1, "Enter on Next", enterOn(kWizardNext), IDOK},
        {2, "Next", click(kWizardNext), kWizardNext},
        {2, "Escape", escape, IDCANCEL},
        {2, "Enter on Next", enterOn(kWizardNext), IDOK},
        {4, "Next", click(kWizardNext), kWizardNext},
        {4, "close box", closeBox, IDCANCEL},
        {4, "Enter on Cancel", enterOn(IDCANCEL), IDOK},
        {5, "Try Again", click(kWizardTryAgain), kWizardTryAgain},
        {5, "Com Port", click(kWizardComPort), kWizardComPort},
        {5, "Cancel", click(IDCANCEL), IDCANCEL},
        {5, "Escape", escape, IDCANCEL},
        {5, "Enter on Try Again", enterOn(kWizardTryAgain), IDOK},
        {6, "Next", click(kWizardNext), kWizardNext},
        {6, "close box", closeBox, IDCANCEL},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << "page " << test.nPage << ", " << test.pszHow);
        EXPECT_EQ(Run(test.nPage, test.action), test.nExpected);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the page is gone";
    }
}

TEST_F(WizardPagesTest, WelcomeCheckBoxComesInAndGoesOutOnNextAndCancelOnly) {
    struct Case {
        bool bIn;
        bool bToggle;
        int nButton; // 0: Enter
        bool bOut;
    };
    const Case cases[] = {
        {true, false, kWizardNext, true}, {true, true, IDCANCEL, false}, {false, true, kWizardNext, true},
        {false, false, IDCANCEL, false},  {true, true, 0, true},         {false, true, 0, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message()
                     << "in " << test.bIn << ", toggled " << test.bToggle << ", button " << test.nButton);
        WizardPageData data;
        data.bShowAtStartup = test.bIn;
        bool shownTicked = !test.bIn;
        QString label;
        const int result = Run(1, data, [&](CWizardPage* page) {
            QCheckBox* box = static_cast<CWizardDialog_1*>(page)->ShowAtStartupBox();
            shownTicked = box->isChecked();
            label = box->text();
            if (test.bToggle)
                box->click();
            if (test.nButton == 0) {
                box->setFocus();
                PressKey(page, Qt::Key_Return);
            } else {
                page->Button(test.nButton)->click();
            }
        });
        EXPECT_EQ(shownTicked, test.bIn);
        EXPECT_EQ(label, "show Upgrade Wizard at startup");
        EXPECT_EQ(result, test.nButton == 0 ? IDOK : test.nButton);
        EXPECT_EQ(data.bShowAtStartup, test.bOut) << "Enter leaves the setting as it came";
    }
}

TEST_F(WizardPagesTest, FileTypeStartsOnImageEachTimeAndNextReturnsTheChoice) {
    QStringList choices;
    WizardPageData data;
    data.nFileType = 1;
    bool imageFirst = false;
    EXPECT_EQ(Run(4, data,
                  [&](CWizardPage* page) {
                      auto* types = static_cast<CWizardDialog_4*>(page);
                      choices = {types->ImageChoice()->text(), types->PageChoice()->text()};
                      imageFirst = types->ImageChoice()->isChecked() && !types->PageChoice()->isChecked();
                      types->PageChoice()->click();
                      page->Button(kWizardNext)->click();
                  }),
              kWizardNext);
    EXPECT_EQ(choices, (QStringList{"Image file (*.img).  Application or Configuration (Page) file.",
                                    "Page file (*.dat).   Configuration (Page) file."}));
    EXPECT_TRUE(imageFirst);
    EXPECT_EQ(data.nFileType, 1);

    // Opened again after the page file was chosen: the image is selected again.
    imageFirst = false;
    EXPECT_EQ(Run(4, data,
                  [&](CWizardPage* page) {
                      imageFirst = static_cast<CWizardDialog_4*>(page)->ImageChoice()->isChecked();
                      page->Button(kWizardNext)->click();
                  }),
              kWizardNext);
    EXPECT_TRUE(imageFirst);
    EXPECT_EQ(data.nFileType, 0);

    // Cancel after choosing the page file returns no choice.
    data.nFileType = 0;
    EXPECT_EQ(Run(4, data,
                  [&](CWizardPage* page) {
                      static_cast<CWizardDialog_4*>(page)->PageChoice()->click();
                      page->Button(IDCANCEL)->click();
                  }),
              IDCANCEL);
    EXPECT_EQ(data.nFileType, 0);
}

TEST_F(WizardPagesTest, PageAskedForFromAWorkerRunsOnTheGuiThreadAndBlocksTheWorker) {
    std::atomic<int> result{0};
    std::atomic<bool> done{false};
    bool onGuiThread = false;
    bool workerWaiting = false;
    OnNextModal<CWizardPage>([&](CWizardPage* page) {
        onGuiThread = QThread::currentThread() == page->thread() && page->thread() == m_frame.thread();
        workerWaiting = !done;
        page->Button(kWizardComPort)->click();
    });
    std::thread worker([&] {
        WizardPageData data;
        result = m_ui.RunWizardPage(kWizardPageNoController, data);
        done = true;
    });
    EXPECT_TRUE(ProcessUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_TRUE(onGuiThread);
    EXPECT_TRUE(workerWaiting);
    EXPECT_EQ(result, kWizardComPort);
}

TEST_F(WizardPagesTest, PowerCycleNoticeIsModelessCentredAndGoesWithItsObject) {
    std::atomic<bool> shown{false}, release{false}, gone{false};
    std::thread worker([&] {
        std::unique_ptr<IWaitWindow> notice = m_ui.ShowWizardNotice();
        shown = true;
        while (!release)
            std::this_thread::yield();
        notice.reset();
        gone = true;
    });
    ASSERT_TRUE(ProcessUntil([&] { return shown.load(); }));
    ProcessQueued();
    CWizardDialog_3* notice = Notice();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->windowTitle(), "Upgrade Wizard");
    EXPECT_EQ(notice->Texts(),
              (QStringList{"Cycle power (OFF/ON) to the controller.",
                           "The Wizard will try to establish a serial connection with the controller for 30 "
                           "seconds.  The controller must be cycled OFF/ON during the 30 sec."}));
    EXPECT_TRUE(notice->findChildren<QPushButton*>().isEmpty());
    EXPECT_FALSE(notice->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    const QPoint offset = notice->frameGeometry().center() - m_frame.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2) << "centred on the main window";

    // The person cannot take it away: the wizard does.
    PressKey(notice, Qt::Key_Escape);
    notice->close();
    ProcessQueued();
    EXPECT_EQ(Notice(), notice);

    release = true;
    EXPECT_TRUE(ProcessUntil([&] { return gone.load(); }));
    worker.join();
    ProcessQueued();
    EXPECT_EQ(Notice(), nullptr);
}

TEST_F(WizardPagesTest, PicturesHaveTheirSizesAndAreNotBlank) {
    for (const QPixmap& picture : {WizardConnectionPicture(), WizardWelcomePicture()}) {
        const QImage image = picture.toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                colours.insert(image.pixel(x, y));
        EXPECT_GT(colours.size(), 8) << "drawn, not one flat colour";
    }
    EXPECT_EQ(WizardConnectionPicture().size(), QSize(kConnectionPictureWidth, kConnectionPictureHeight));
    EXPECT_EQ(WizardWelcomePicture().size(), QSize(kWelcomePictureWidth, kWelcomePictureHeight));
}

} // namespace
