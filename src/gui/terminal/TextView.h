// The main window's client area: paints the terminal screen model in a fixed-pitch font with a caret at
// the cursor, scrolls to the last line after line feeds, and sends keystrokes to the controller. It never
// echoes what is typed: what shows comes back from the controller. The model's changes are gathered and
// shown at most at the screen's refresh rate, so a fast controller costs no paint per line.
#pragma once

#include "engine/terminal/TerminalScreen.h"

#include <QAbstractScrollArea>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <functional>

class CTextView : public QAbstractScrollArea, public ITerminalScreenListener {
    Q_OBJECT
public:
    using SendFunction = std::function<void(const uint8_t* data, size_t length)>;

    CTextView(CTerminalScreen& screen, QWidget* parent = nullptr);
    ~CTextView() override;

    // Where keystrokes go (the application's terminal send functions).
    void SetSendFunction(SendFunction send) { m_send = std::move(send); }

    int LineHeight() const { return m_nLineHeight; }
    int CharWidth() const { return m_nCharWidth; }
    // The caret's rectangle in viewport coordinates; empty while it is hidden.
    QRect CaretRect() const;
    // Shows what changed since the last refresh now instead of at the next refresh tick.
    void RefreshNow();
    static constexpr int kRefreshMs = 16;
    // Content size in pixels (the scroll sizes).
    QSize ContentSize() const { return m_contentSize; }
    // Lines painted by the last paint (tests check that painting does not grow with the line count).
    int LinesPaintedLastTime() const { return m_nLinesPainted; }

    // ITerminalScreenListener; calls from another thread are carried over to the GUI thread.
    void OnCellChanged(int row, int column) override;
    void OnRepaintAll() override;
    void OnLineFeed() override;
    void OnCleared() override;
    void OnCursorMoved() override;
    void OnActiveChanged(bool active) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;

private:
    bool OnGuiThread() const;
    void SetContentSize(QSize size);
    void UpdateScrollBars();
    void ScrollToLastLine();
    void UpdateCaret();
    QRect CurrentCaret() const;
    void ScheduleRefresh();
    void Send(const uint8_t* data, size_t length);

    CTerminalScreen& m_screen;
    SendFunction m_send;
    int m_nLineHeight = 0;
    int m_nCharWidth = 0;
    int m_nAscent = 0;
    QSize m_contentSize{100, 100};
    QRect m_caret;
    int m_nLinesPainted = 0;
    QTimer m_refreshTimer;
    bool m_bLineFeedPending = false;
    bool m_bRepaintPending = false;
    bool m_bCaretPending = false;
    QRect m_dirty; // cells written since the last refresh, in viewport coordinates
};
