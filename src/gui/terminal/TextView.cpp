#include "gui/terminal/TextView.h"

#include "engine/terminal/TerminalKeys.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QThread>

#include <algorithm>
#include <array>
#include <utility>

CTextView::CTextView(CTerminalScreen& screen, QWidget* parent)
    : QAbstractScrollArea(parent), m_screen(screen) {
    setFrameShape(QFrame::Box);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    setFont(font);
    viewport()->setFont(font);
    const QFontMetrics metrics(font);
    m_nLineHeight = metrics.height();
    m_nCharWidth = metrics.horizontalAdvance(' ');
    m_nAscent = metrics.ascent();
    viewport()->setAutoFillBackground(true);
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    viewport()->setPalette(palette);
    viewport()->setBackgroundRole(QPalette::Base);
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(kRefreshMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CTextView::RefreshNow);
    m_screen.SetListener(this);
    UpdateScrollBars();
}

CTextView::~CTextView() {
    m_screen.SetListener(nullptr);
}

bool CTextView::OnGuiThread() const {
    return QThread::currentThread() == thread();
}

QRect CTextView::CaretRect() const {
    return m_bCaretPending ? CurrentCaret() : m_caret;
}

void CTextView::ScheduleRefresh() {
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void CTextView::RefreshNow() {
    m_refreshTimer.stop();
    if (std::exchange(m_bLineFeedPending, false)) {
        const int lines = static_cast<int>(m_screen.LineCount());
        SetContentSize(
            QSize(static_cast<int>(std::min<size_t>(m_screen.WidestLine(), 1 << 20)) * m_nCharWidth,
                  (lines + 1) * m_nLineHeight));
        ScrollToLastLine();
        horizontalScrollBar()->setValue(0);
        m_bRepaintPending = true;
    }
    if (std::exchange(m_bCaretPending, false))
        UpdateCaret();
    if (std::exchange(m_bRepaintPending, false))
        viewport()->update();
    else if (!m_dirty.isEmpty())
        viewport()->update(m_dirty);
    m_dirty = QRect();
}

void CTextView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    m_nLinesPainted = 0;
    if (!m_screen.IsActive())
        return;
    const int scrollX = horizontalScrollBar()->value();
    const int scrollY = verticalScrollBar()->value();
    const QRect area = event->rect();
    // Only the rows that meet the area are drawn, so the cost does not grow with the line count.
    const int first = std::max(0, (scrollY + area.top()) / m_nLineHeight);
    const int last =
        std::min(static_cast<int>(m_screen.LineCount()) - 1, (scrollY + area.bottom()) / m_nLineHeight);
    const int firstColumn = std::max(0, (scrollX + area.left()) / m_nCharWidth);
    const int columns = area.width() / m_nCharWidth + 2;
    painter.setPen(palette().color(QPalette::Text));
    for (int row = first; row <= last; ++row) {
        const std::string& line = m_screen.Line(static_cast<size_t>(row));
        if (static_cast<size_t>(firstColumn) < line.size()) {
            const QString text = QString::fromLatin1(line.data() + firstColumn,
                                                     std::min<qsizetype>(columns, line.size() - firstColumn));
            painter.drawText(firstColumn * m_nCharWidth - scrollX, row * m_nLineHeight - scrollY + m_nAscent,
                             text);
        }
        ++m_nLinesPainted;
    }
    if (!m_caret.isEmpty() && m_caret.intersects(area))
        painter.fillRect(m_caret, palette().color(QPalette::Text));
}

void CTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    UpdateCaret();
}

void CTextView::scrollContentsBy(int, int) {
    UpdateCaret();
    viewport()->update();
}

bool CTextView::focusNextPrevChild(bool) {
    return false;
} // Tab goes to the controller

void CTextView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    UpdateCaret();
}

void CTextView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    UpdateCaret();
}

namespace {

// The main window's accelerator table binds the usual editing keys to edit commands that nothing here
// handles; being accelerators they never reach the controller as characters.
bool IsEditAccelerator(const QKeyEvent* event) {
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const int key = event->key();
    if (mods == Qt::ControlModifier)
        return key == Qt::Key_C || key == Qt::Key_V || key == Qt::Key_X || key == Qt::Key_Z ||
               key == Qt::Key_Insert;
    if (mods == Qt::ShiftModifier)
        return key == Qt::Key_Insert || key == Qt::Key_Delete || key == Qt::Key_F6;
    if (mods == Qt::AltModifier)
        return key == Qt::Key_Backspace;
    return mods == Qt::NoModifier && key == Qt::Key_F6;
}

} // namespace

void CTextView::keyPressEvent(QKeyEvent* event) {
    if (IsEditAccelerator(event))
        return;
    std::array<uint8_t, 3> arrow{};
    bool isArrow = true;
    switch (event->key()) {
    case Qt::Key_Up:
        arrow = ArrowKeySequence(EArrowKey::Up);
        break;
    case Qt::Key_Down:
        arrow = ArrowKeySequence(EArrowKey::Down);
        break;
    case Qt::Key_Right:
        arrow = ArrowKeySequence(EArrowKey::Right);
        break;
    case Qt::Key_Left:
        arrow = ArrowKeySequence(EArrowKey::Left);
        break;
    default:
        isArrow = false;
        break;
    }
    if (isArrow) {
        Send(arrow.data(), arrow.size());
        return;
    }
    const QString text = event->text();
    if (text.isEmpty()) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    for (QChar ch : text) {
        if (ch.unicode() > 0xFF)
            continue; // the controller speaks 8-bit ASCII
        const uint8_t byte = static_cast<uint8_t>(ch.unicode());
        Send(&byte, 1);
    }
}

void CTextView::Send(const uint8_t* data, size_t length) {
    if (m_send)
        m_send(data, length);
}

void CTextView::SetContentSize(QSize size) {
    m_contentSize = size;
    UpdateScrollBars();
}

void CTextView::UpdateScrollBars() {
    const QSize page = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, m_contentSize.width() - page.width()));
    horizontalScrollBar()->setPageStep(page.width());
    horizontalScrollBar()->setSingleStep(m_nCharWidth);
    verticalScrollBar()->setRange(0, std::max(0, m_contentSize.height() - page.height()));
    verticalScrollBar()->setPageStep(page.height());
    verticalScrollBar()->setSingleStep(m_nLineHeight);
}

void CTextView::ScrollToLastLine() {
    // The last line at the bottom of the window, or the top when everything fits.
    const int lines = static_cast<int>(m_screen.LineCount());
    verticalScrollBar()->setValue(std::max(0, lines * m_nLineHeight - viewport()->height()));
}

QRect CTextView::CurrentCaret() const {
    if (!m_screen.IsActive() || !hasFocus())
        return {};
    return QRect(m_nCharWidth * m_screen.CursorColumn() - horizontalScrollBar()->value(),
                 m_nLineHeight * m_screen.CursorRow() - verticalScrollBar()->value(), 2, m_nLineHeight);
}

void CTextView::UpdateCaret() {
    m_bCaretPending = false;
    const QRect caret = CurrentCaret();
    if (caret == m_caret)
        return;
    viewport()->update(m_caret);
    m_caret = caret;
    viewport()->update(m_caret);
}

void CTextView::OnCellChanged(int row, int column) {
    if (!OnGuiThread()) {
        QMetaObject::invokeMethod(
            this, [this, row, column] { OnCellChanged(row, column); }, Qt::QueuedConnection);
        return;
    }
    if (!m_bRepaintPending && !m_bLineFeedPending)
        m_dirty |= QRect(column * m_nCharWidth - horizontalScrollBar()->value(),
                         row * m_nLineHeight - verticalScrollBar()->value(), m_nCharWidth, m_nLineHeight);
    ScheduleRefresh();
}

void CTextView::OnRepaintAll() {
    if (!OnGuiThread()) {
        QMetaObject::invokeMethod(
            this, [this] { OnRepaintAll(); }, Qt::QueuedConnection);
        return;
    }
    m_bRepaintPending = true;
    ScheduleRefresh();
}

void CTextView::OnLineFeed() {
    if (!OnGuiThread()) {
        QMetaObject::invokeMethod(
            this, [this] { OnLineFeed(); }, Qt::QueuedConnection);
        return;
    }
    m_bLineFeedPending = true;
    m_bCaretPending = true;
    ScheduleRefresh();
}

void CTextView::OnCleared() {
    if (!OnGuiThread()) {
        QMetaObject::invokeMethod(
            this, [this] { OnCleared(); }, Qt::QueuedConnection);
        return;
    }
    m_bLineFeedPending = false;
    m_bRepaintPending = false;
    m_dirty = QRect();
    SetContentSize(QSize(100, 100));
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    UpdateCaret();
    viewport()->update();
}

void CTextView::OnCursorMoved() {
    if (!OnGuiThread()) {
        QMetaObject::invokeMethod(
            this, [this] { OnCursorMoved(); }, Qt::QueuedConnection);
        return;
    }
    m_bCaretPending = true;
    ScheduleRefresh();
}

void CTextView::OnActiveChanged(bool active) {
    if (!OnGuiThread()) {
        QMetaObject::invokeMethod(
            this, [this, active] { OnActiveChanged(active); }, Qt::QueuedConnection);
        return;
    }
    if (active)
        setFocus();
    UpdateCaret();
    viewport()->update();
}
