#pragma once

// Dragging with the cursor, as the operator's hand does it: the press goes
// through the window as the platform delivers it, so the pressed widget
// receives the following moves of the cursor.

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <QWindow>

class CursorDrag final
{
public:
    explicit CursorDrag(QWidget &topLevel) : m_topLevel(topLevel) {}

    void press(QWidget *widget, Qt::MouseButton button = Qt::LeftButton)
    {
        const QPoint centre = widget->rect().center();
        QCursor::setPos(widget->mapToGlobal(centre));
        QCoreApplication::processEvents();
        m_pressedAt = widget->mapTo(&m_topLevel, centre);
        m_pressed = widget;
        m_button = button;
        QTest::mousePress(window(), button, QGuiApplication::keyboardModifiers(), m_pressedAt);
    }

    // The offscreen platform gives a move only to the window under the
    // cursor; beyond the window the move goes to the pressed widget, as the
    // mouse grab of a real desktop does.
    void moveBy(int rows)
    {
        const QPoint to = QCursor::pos() + QPoint(0, rows);
        QCursor::setPos(to);
        QCoreApplication::processEvents();
        if (!m_pressed || window()->geometry().contains(to))
            return;
        QMouseEvent move(QEvent::MouseMove, m_pressed->mapFromGlobal(QPointF(to)), QPointF(to), Qt::NoButton,
                         m_button, QGuiApplication::keyboardModifiers());
        QApplication::sendEvent(m_pressed, &move);
        QCoreApplication::processEvents();
    }

    void release()
    {
        QTest::mouseRelease(window(), m_button, QGuiApplication::keyboardModifiers(), m_pressedAt);
        m_pressed = nullptr;
    }

    void holdShift(bool held)
    {
        if (held)
            QTest::keyPress(window(), Qt::Key_Shift, Qt::ShiftModifier);
        else
            QTest::keyRelease(window(), Qt::Key_Shift, Qt::NoModifier);
    }

private:
    QWindow *window() const { return m_topLevel.windowHandle(); }

    QWidget &m_topLevel;
    QPoint m_pressedAt;
    QPointer<QWidget> m_pressed;
    Qt::MouseButton m_button = Qt::LeftButton;
};
