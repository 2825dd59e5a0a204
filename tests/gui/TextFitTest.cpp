// No clipped texts: at the default font every label, check box, radio button and group title of Erase
// Memory, Controller Options and About fits its place and the dialog, measured with the font's metrics,
// and the download window's status field holds its longest status text; the window opens over the main
// window.
#include "GuiTestSupport.h"
#include "engine/app/DravikApp.h"
#include "engine/download/Download.h"
#include "gui/app/MainFrame.h"
#include "gui/app/QtUserInterface.h"
#include "gui/dialogs/AboutDlg.h"
#include "gui/dialogs/EraseDialog.h"
#include "gui/dialogs/OptionsDialog.h"
#include "gui/download/DownloadWindow.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include <gtest/gtest.h>

namespace {

// Every text-bearing child's wanted width against the width it got, and its right edge against its parent's.
void ExpectTextsFit(QWidget* dialog, const char* name) {
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        QString text;
        if (auto* label = qobject_cast<QLabel*>(child); label && label->pixmap().isNull())
            text = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(child))
            text = button->text();
        else if (auto* box = qobject_cast<QGroupBox*>(child))
            text = box->title();
        if (text.isEmpty())
            continue;
        // A push button's least width is the style's; its text is what must fit.
        const int wanted = qobject_cast<QPushButton*>(child)
                               ? child->fontMetrics().horizontalAdvance(QString(text).remove('&')) +
                                     2 * child->fontMetrics().averageCharWidth()
                               : child->sizeHint().width();
        EXPECT_LE(wanted, child->width()) << name << ": " << text.toStdString();
        EXPECT_LE(child->geometry().right(), child->parentWidget()->width())
            << name << ": " << text.toStdString();
    }
}

TEST(TextFit, EraseOptionsAndAboutFitTheirTexts) {
    for (int kind : {ConnectBios, ConnectBootstrap}) {
        CEraseDialog erase(nullptr, kind);
        ExpectTextsFit(&erase, "Erase Memory");
    }
    COptionsDialog options(nullptr);
    ExpectTextsFit(&options, "Controller Options");
    CAboutDlg about(nullptr, "5120-41887 Version 4.0");
    ExpectTextsFit(&about, "About");
}

TEST(TextFit, DownloadStatusFieldHoldsTheLongestStatus) {
    CDownloadWindow window([] {});
    QLineEdit* status =
        window.findChild<QLineEdit*>(QString("field%1").arg(FieldNumber(EDownloadField::Status)));
    ASSERT_NE(status, nullptr);
    const QFontMetrics metrics(status->font());
    for (const char* text : kDownloadStatusTexts) {
        // The frame and the text margins of a line edit take about a character on each side.
        EXPECT_LE(metrics.horizontalAdvance(text) + 2 * metrics.averageCharWidth(), status->width()) << text;
    }
    window.close();
}

TEST(WindowPlace, DownloadWindowOpensOverTheMainWindow) {
    CQtUserInterface ui;
    CDravikApp app(&ui);
    CMainFrame frame(app);
    ui.SetMainFrame(&frame);
    frame.setGeometry(40, 60, 900, 700);
    frame.show();
    ProcessQueued();
    CDownloadWindow window([] {});
    const QPoint offset = window.frameGeometry().center() - frame.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
    window.close();
}

} // namespace
