#pragma once

// A picture control: an SVG picture drawn at the control's size, or at its
// own size centred in the control. It can be clicked like a button, and it
// reports presses, moves (while a button is held) and releases, for a
// picture that is dragged.
//
// A transparent picture leaves out every pixel of the colour its
// bottom-left pixel has, so the surface beneath shows through there.
// The picture is rendered once per size and kept, so showing, hiding and
// repainting it costs no SVG work. Main thread only.
//
// Assistive tools see it in the role it is given: a graphic unless it is
// made a button (pressed through them as by a click) or a slider.

#include <QAccessible>
#include <QPixmap>
#include <QSvgRenderer>
#include <QWidget>

class PictureControl final : public QWidget {
    Q_OBJECT
public:
    // resource: an SVG file, usually a ":/art/..." resource path.
    explicit PictureControl(const QString &resource, QWidget *parent = nullptr);

    void setCentred(bool centred);
    void setTransparent(bool transparent);
    bool isTransparent() const { return m_transparent; }

    QAccessible::Role accessibleRole() const { return m_role; }
    void setAccessibleRole(QAccessible::Role role) { m_role = role; }

    // The picture as it is drawn, for tests and tools.
    QImage rendered();

Q_SIGNALS:
    // A left press and release inside the control.
    void clicked();
    // Any button.
    void mousePressed(Qt::MouseButton button);
    void mouseMoved(Qt::KeyboardModifiers modifiers);
    void mouseReleased(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage render();

    QSvgRenderer m_renderer;
    QPixmap m_cache;
    bool m_centred = false;
    bool m_transparent = false;
    bool m_pressed = false;
    QAccessible::Role m_role = QAccessible::Graphic;
};
