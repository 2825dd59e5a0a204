// The "File Download" window and the erase and rename confirmations on their own: fields and labels, the
// progress bar's limits, cancelling by button, close box and Escape, and the view driven from a worker thread
// (calls carried to the GUI thread, the window and the view ending in either order, the program's end).
#include "gui/download/DownloadWindow.h"
#include "GuiTestSupport.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"
#include "gui/dialogs/EraseOKDialog.h"
#include "gui/dialogs/RenameOKDialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <thread>

namespace {

CDownloadWindow* FindDownloadWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<CDownloadWindow*>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

// Runs work on a thread of its own while this (the GUI) thread keeps its event loop going.
bool RunOnWorker(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    const bool ended = ProcessUntil([&] { return done.load(); });
    worker.join();
    return ended;
}

TEST(DownloadWindow, FieldsInOrderReadOnlyFiguresRightAligned) {
    int cancels = 0;
    CDownloadWindow window([&] { ++cancels; });
    ProcessQueued();
    EXPECT_EQ(window.windowTitle(), "File Download");
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isModal());
    EXPECT_EQ(window.CancelButton()->text(), "&Cancel");
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint offCentre = window.frameGeometry().center() - screen.center();
    EXPECT_LE(std::abs(offCentre.x()), 1) << offCentre.x();
    EXPECT_LE(std::abs(offCentre.y()), 1) << offCentre.y();

    // Labels top to bottom, each beside the control it names.
    QList<QLabel*> labels = window.findChildren<QLabel*>();
    std::sort(labels.begin(), labels.end(), [](QLabel* a, QLabel* b) { return a->y() < b->y(); });
    QStringList texts;
    for (QLabel* label : labels)
        texts << label->text();
    EXPECT_EQ(texts, (QStringList{"Filename", "Status", "Progress", "Start time", "Transmitted bytes",
                                  "Elapsed time", "Remaining time", "Speed"}));
    const EDownloadField ids[] = {EDownloadField::FileName,  EDownloadField::Status, EDownloadField::Progress,
                                  EDownloadField::Start,     EDownloadField::Bytes,  EDownloadField::Elapsed,
                                  EDownloadField::Remaining, EDownloadField::Speed};
    for (int i = 0; i < labels.size(); ++i) {
        QWidget* buddy = labels[i]->buddy();
        ASSERT_NE(buddy, nullptr) << texts[i].toStdString();
        EXPECT_LE(std::abs(buddy->geometry().center().y() - labels[i]->geometry().center().y()),
                  labels[i]->height() / 2);
        EXPECT_GT(buddy->x(), labels[i]->x());
        if (ids[i] == EDownloadField::Progress) {
            EXPECT_EQ(buddy, window.ProgressBar());
            continue;
        }
        QLineEdit* edit = window.FieldEdit(ids[i]);
        ASSERT_EQ(buddy, edit) << texts[i].toStdString();
        EXPECT_TRUE(edit->isReadOnly());
        const bool figure = i >= 3;
        EXPECT_EQ(bool(edit->alignment() & Qt::AlignRight), figure) << texts[i].toStdString();
    }

    window.SetField(EDownloadField::Bytes, "40K / 400K (10%)");
    EXPECT_EQ(window.FieldEdit(EDownloadField::Bytes)->text(), "40K / 400K (10%)");
    window.SetField(EDownloadField::Progress, "not a text field"); // the bar has no text: ignored
    window.SetField(static_cast<EDownloadField>(4711), "unknown");
    EXPECT_EQ(window.Field(static_cast<EDownloadField>(4711)), "");
    EXPECT_EQ(cancels, 0);
}

TEST(DownloadWindow, ProgressBarStaysInRangeAndScalesRangesBeyondInt) {
    CDownloadWindow window([] {});
    QProgressBar* bar = window.ProgressBar();

    // A range of 0 (an image too small for one analysis step) is an empty bar, not a busy indicator.
    window.SetProgressRange(0);
    window.SetProgressPos(0);
    EXPECT_GT(bar->maximum(), bar->minimum());
    EXPECT_EQ(bar->value(), 0);
    window.StepProgress();
    EXPECT_EQ(bar->value(), 0);

    // Positions past the end stop at the end; steps of the set amount.
    window.SetProgressRange(4000);
    window.SetProgressPos(5000);
    EXPECT_EQ(window.ProgressPos(), 4000u);
    EXPECT_EQ(bar->value(), 4000);
    window.SetProgressRange(5);
    EXPECT_EQ(bar->value(), 5);
    window.SetProgressPos(0);
    window.SetProgressStep(1);
    for (int i = 0; i < 3; ++i)
        window.StepProgress();
    EXPECT_EQ(bar->value(), 3);
    for (int i = 0; i < 4; ++i)
        window.StepProgress();
    EXPECT_EQ(bar->value(), 5);
    EXPECT_EQ(bar->maximum(), 5);

    // A range above the widget's int keeps its proportions.
    window.SetProgressRange(UINT32_MAX);
    window.SetProgressPos(0x80000000u);
    EXPECT_EQ(bar->maximum(), INT_MAX);
    EXPECT_EQ(bar->value(), 0x40000000);
    window.SetProgressStep(UINT32_MAX);
    window.StepProgress();
    EXPECT_EQ(window.ProgressPos(), UINT32_MAX);
    EXPECT_EQ(bar->value(), INT_MAX);
}

TEST(DownloadWindow, CancelCloseBoxAndEscapeReportOnceAndTakeTheWindowAway) {
    const std::function<void(CDownloadWindow&)> ways[] = {
        [](CDownloadWindow& window) { window.CancelButton()->click(); },
        [](CDownloadWindow& window) { window.close(); },
        [](CDownloadWindow& window) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(&window, &escape);
        },
    };
    for (const auto& way : ways) {
        int cancels = 0;
        QPointer<CDownloadWindow> window = new CDownloadWindow([&] { ++cancels; });
        ProcessQueued();
        way(*window);
        EXPECT_EQ(cancels, 1);
        EXPECT_FALSE(window && window->isVisible());
        ProcessQueued();
        EXPECT_TRUE(window.isNull()) << "deleted once the event loop had its turn";
    }
}

TEST(DownloadView, WorkerCallsReachTheWindowOnTheGuiThread) {
    CQtUserInterface ui;
    std::unique_ptr<IDownloadView> view;
    std::atomic<bool> cancelledOnGui{false};
    std::atomic<int> cancels{0};
    ASSERT_TRUE(RunOnWorker([&] {
        view = ui.CreateDownloadView([&] {
            cancelledOnGui = QThread::currentThread() == qApp->thread();
            ++cancels;
        });
        view->SetField(EDownloadField::FileName, "app.img");
        view->SetField(EDownloadField::Status, "Downloading file");
        view->SetProgressRange(10);
        view->SetProgressPos(3);
        view->SetProgressStep(2);
        view->StepProgress();
    }));
    // Each call returned only after it had run: everything is there without another turn of the loop.
    CDownloadWindow* window = FindDownloadWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->thread(), qApp->thread());
    EXPECT_EQ(window->Field(EDownloadField::FileName), "app.img");
    EXPECT_EQ(window->Field(EDownloadField::Status), "Downloading file");
    EXPECT_EQ(window->ProgressBar()->maximum(), 10);
    EXPECT_EQ(window->ProgressBar()->value(), 5);

    // On the GUI thread the view writes at once (a blocking queued call there would never return).
    view->SetField(EDownloadField::Speed, "20000 BPS");
    EXPECT_EQ(window->Field(EDownloadField::Speed), "20000 BPS");

    // The window goes first: Cancel reports on the GUI thread; the worker's later calls land nowhere.
    QPointer<CDownloadWindow> watched = window;
    window->CancelButton()->click();
    ProcessQueued();
    EXPECT_TRUE(watched.isNull());
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(cancelledOnGui);
    ASSERT_TRUE(RunOnWorker([&] {
        view->SetField(EDownloadField::Status, "Download complete.");
        view->StepProgress();
        view->Close();
        view.reset();
    }));
    EXPECT_EQ(cancels, 1);

    // The view goes first: its window goes with it.
    ASSERT_TRUE(RunOnWorker([&] { view = ui.CreateDownloadView([] {}); }));
    watched = FindDownloadWindow();
    ASSERT_FALSE(watched.isNull());
    ASSERT_TRUE(RunOnWorker([&] { view.reset(); }));
    ProcessQueued();
    EXPECT_TRUE(watched.isNull());
}

TEST(EraseOKDialog, AsksFromAnyThreadYesIsConsent) {
    CQtUserInterface ui;
    struct Seen {
        QString caption, text, yes, no;
        bool modal = false;
    } seen;
    enum class EAnswer { Yes, No, Escape } answer = EAnswer::Yes;
    CGuiWatcher watcher([&](QWidget* modal) {
        auto* dialog = qobject_cast<CEraseOKDialog*>(modal);
        if (!dialog)
            return;
        seen = {dialog->windowTitle(), dialog->Text(), dialog->YesButton()->text(),
                dialog->NoButton()->text(), dialog->isModal()};
        if (answer == EAnswer::Yes) {
            dialog->YesButton()->click();
        } else if (answer == EAnswer::No) {
            dialog->NoButton()->click();
        } else {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(dialog, &escape);
        }
    });
    const std::pair<EAnswer, bool> cases[] = {
        {EAnswer::Yes, true}, {EAnswer::No, false}, {EAnswer::Escape, false}};
    for (const auto& [given, expected] : cases) {
        answer = given;
        seen = {};
        bool consent = !expected;
        ASSERT_TRUE(RunOnWorker([&] { consent = ui.RunEraseOkDialog(); }));
        EXPECT_EQ(consent, expected);
        EXPECT_EQ(seen.caption, "Erase Memory");
        EXPECT_EQ(seen.text, "This will erase old data on controller.\nDo you really want to continue?");
        EXPECT_EQ(seen.yes, "Yes");
        EXPECT_EQ(seen.no, "No");
        EXPECT_TRUE(seen.modal);
    }
}

TEST(RenameOKDialog, OwnCaptionNotAMessageBoxYesIsRename) {
    CQtUserInterface ui;
    QString caption, text, yes, no;
    bool messageBox = false;
    bool clickYes = true;
    CGuiWatcher watcher([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messageBox = true;
            box->button(QMessageBox::No)->click();
            return;
        }
        auto* dialog = qobject_cast<CRenameOKDialog*>(modal);
        if (!dialog)
            return;
        caption = dialog->windowTitle();
        text = dialog->Text();
        yes = dialog->YesButton()->text();
        no = dialog->NoButton()->text();
        (clickYes ? dialog->YesButton() : dialog->NoButton())->click();
    });
    for (const bool answer : {true, false}) {
        clickYes = answer;
        bool rename = !answer;
        ASSERT_TRUE(RunOnWorker([&] { rename = ui.RunRenameOkDialog(); }));
        EXPECT_EQ(rename, answer);
        EXPECT_FALSE(messageBox);
        EXPECT_EQ(caption, "Rename Configuration File");
        EXPECT_EQ(text,
                  "The file you've selected is not called \"config.dat.\"  Do you wish to rename it?  The "
                  "controller may have difficulty if the name is not correct.");
        EXPECT_EQ(yes, "Yes");
        EXPECT_EQ(no, "No");
    }
}

// The program's end: the GUI thread has left its event loop and waits for a worker.
TEST(GuiCaller, AtTheEndWaitingCallsRunAndLaterOnesGetTheEscapeAnswer) {
    CQtUserInterface ui;
    int answered = 0;
    CGuiWatcher watcher([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            ++answered;
            box->button(QMessageBox::Yes)->click();
        }
    });

    std::atomic<int> first{0}, second{0};
    std::unique_ptr<IDownloadView> view;
    std::thread worker([&] {
        first = ui.MessageBox("Already asked", EMsgButtons::YesNo, EMsgIcon::Question);
        second = ui.MessageBox("Asked after the end", EMsgButtons::YesNo, EMsgIcon::Question);
        view = ui.CreateDownloadView([] {});
        view->SetField(EDownloadField::Status, "nowhere");
        view.reset();
    });
    // The first question is queued for this thread, which does not run its loop now.
    for (int i = 0; i < 1000000 && ui.Caller().WaitingCalls() == 0; ++i)
        std::this_thread::yield();
    ASSERT_EQ(ui.Caller().WaitingCalls(), 1);
    ui.EndWorkerCalls();
    worker.join(); // hangs here if a call still waited for the event loop

    EXPECT_EQ(first, IDYES);
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(second, IDNO);
    EXPECT_EQ(FindDownloadWindow(), nullptr);
}

} // namespace
