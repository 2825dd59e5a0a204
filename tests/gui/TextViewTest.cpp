// The terminal view: text painted where the screen model says, the caret, scrolling, and keys sent to
// the controller without echo.
#include "gui/terminal/TextView.h"
#include "GuiTestSupport.h"
#include "engine/terminal/TerminalScreen.h"

#include <QImage>
#include <QKeyEvent>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class TextViewTest : public testing::Test {
protected:
    TextViewTest() : m_view(m_screen) {
        m_view.resize(400, 300);
        m_view.SetSendFunction(
            [this](const uint8_t* data, size_t length) { m_sent.append(data, data + length); });
        m_view.show();
        ProcessQueued();
    }

    QImage Grab() { return m_view.viewport()->grab().toImage(); }

    // Whether any pixel inside the cell is much darker than the background (the outermost columns are left
    // out: an anti-aliased glyph may touch its neighbour's edge).
    bool CellHasInk(const QImage& image, int row, int column) {
        const int x0 = column * m_view.CharWidth() - m_view.horizontalScrollBar()->value();
        const int y0 = row * m_view.LineHeight() - m_view.verticalScrollBar()->value();
        for (int y = y0; y < y0 + m_view.LineHeight(); ++y)
            for (int x = x0 + 1; x < x0 + m_view.CharWidth() - 1; ++x)
                if (image.rect().contains(x, y) && qGray(image.pixel(x, y)) < 128)
                    return true;
        return false;
    }

    CTerminalScreen m_screen;
    CTextView m_view;
    std::basic_string<uint8_t> m_sent;
};

TEST_F(TextViewTest, TextAppearsWhereTheModelPutsIt) {
    m_screen.ShowTerminal();
    m_screen.PutString("\x1b[3;5HX");
    ASSERT_EQ(m_screen.Lines()[2], "    X");
    m_view.clearFocus(); // no caret in the way
    const QImage image = Grab();
    EXPECT_TRUE(CellHasInk(image, 2, 4));
    for (int column = 0; column < 4; ++column)
        EXPECT_FALSE(CellHasInk(image, 2, column)) << column;
    EXPECT_FALSE(CellHasInk(image, 0, 0));
    EXPECT_FALSE(CellHasInk(image, 1, 4));
    EXPECT_FALSE(CellHasInk(image, 2, 5));
}

TEST_F(TextViewTest, InactiveViewDrawsNothingAndKeepsTheLines) {
    m_screen.PutString("hello");
    m_screen.BlankTerminal();
    EXPECT_FALSE(CellHasInk(Grab(), 0, 0));
    m_screen.ShowTerminal();
    EXPECT_TRUE(CellHasInk(Grab(), 0, 0));
}

TEST_F(TextViewTest, CaretIsTwoPixelsWideAtTheCursorWhileFocused) {
    m_screen.ShowTerminal();
    m_view.setFocus();
    ProcessQueued();
    m_screen.PutString("ab\ncde");
    if (!m_view.hasFocus())
        GTEST_SKIP() << "the platform gives no focus to the window";
    const QRect caret = m_view.CaretRect();
    EXPECT_EQ(caret.width(), 2);
    EXPECT_EQ(caret.height(), m_view.LineHeight());
    EXPECT_EQ(caret.topLeft(), QPoint(3 * m_view.CharWidth(), 1 * m_view.LineHeight()));
    m_screen.BlankTerminal();
    EXPECT_TRUE(m_view.CaretRect().isEmpty());
}

TEST_F(TextViewTest, LineFeedScrollsToTheLastLineAndPaintingStaysBounded) {
    m_screen.ShowTerminal();
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "line " + std::to_string(i) + "\n";
    text += "last";
    for (char c : text)
        m_screen.PutChar(static_cast<uint8_t>(c));
    QScrollBar* vertical = m_view.verticalScrollBar();
    // The view catches up at its next refresh tick.
    EXPECT_TRUE(ProcessUntil([&] { return vertical->value() == vertical->maximum() - m_view.LineHeight(); }));
    EXPECT_EQ(m_view.ContentSize().height(), (100001 + 1) * m_view.LineHeight());
    const QImage image = Grab();
    EXPECT_TRUE(CellHasInk(image, 100000, 0)); // "last" is on screen
    const int visibleRows = m_view.viewport()->height() / m_view.LineHeight() + 2;
    EXPECT_LE(m_view.LinesPaintedLastTime(), visibleRows);
    EXPECT_GT(m_view.LinesPaintedLastTime(), 0);
}

TEST_F(TextViewTest, LongLinesScrollHorizontallyAfterLineFeed) {
    m_screen.ShowTerminal();
    m_screen.PutString((std::string(200, 'x') + "\n").c_str());
    EXPECT_TRUE(ProcessUntil([&] { return m_view.ContentSize().width() == 200 * m_view.CharWidth(); }));
    EXPECT_GT(m_view.horizontalScrollBar()->maximum(), 0);
    m_screen.PutChar(0x0C);
    EXPECT_EQ(m_view.ContentSize(), QSize(100, 100));
    EXPECT_EQ(m_view.verticalScrollBar()->value(), 0);
}

TEST_F(TextViewTest, KeysGoToTheControllerWithoutEcho) {
    m_screen.ShowTerminal();
    QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    QApplication::sendEvent(&m_view, &left);
    QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QApplication::sendEvent(&m_view, &a);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(&m_view, &enter);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, "\x1b");
    QApplication::sendEvent(&m_view, &escape);
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, "\t");
    QApplication::sendEvent(&m_view, &tab);
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(&m_view, &up);
    EXPECT_EQ(m_sent, (std::basic_string<uint8_t>{0x1B, '[', 'D', 'a', '\r', 0x1B, '\t', 0x1B, '[', 'A'}));
    // Editing accelerators are not characters for the controller; other control keys are.
    m_sent.clear();
    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, "\x03");
    QApplication::sendEvent(&m_view, &copy);
    QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, "\x16");
    QApplication::sendEvent(&m_view, &paste);
    QKeyEvent ctrlD(QEvent::KeyPress, Qt::Key_D, Qt::ControlModifier, "\x04");
    QApplication::sendEvent(&m_view, &ctrlD);
    EXPECT_EQ(m_sent, std::basic_string<uint8_t>{0x04});
    EXPECT_EQ(m_screen.Lines(), std::vector<std::string>{""});
}

} // namespace
