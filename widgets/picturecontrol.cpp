#include "picturecontrol.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>

namespace {

// A picture in its role; one that is a button can be pressed.
class AccessiblePicture final : public QAccessibleWidget
{
public:
    explicit AccessiblePicture(PictureControl *picture)
        : QAccessibleWidget(picture)
    {
    }

    // Asked each time: the role may be set after the interface was made.
    QAccessible::Role role() const override
    {
        return static_cast<const PictureControl *>(widget())->accessibleRole();
    }

    QStringList actionNames() const override
    {
        return role() == QAccessible::Button ? QStringList{pressAction()} : QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (role() == QAccessible::Button && action == pressAction())
            Q_EMIT static_cast<PictureControl *>(widget())->clicked();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface *accessiblePicture(const QString &className, QObject *object)
{
    auto *picture = qobject_cast<PictureControl *>(object);
    if (className != QLatin1StringView("PictureControl") || !picture)
        return nullptr;
    return new AccessiblePicture(picture);
}

} // namespace

PictureControl::PictureControl(const QString &resource, QWidget *parent)
    : QWidget(parent),
      m_renderer(resource)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessiblePicture);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    resize(m_renderer.defaultSize());
}

void PictureControl::setCentred(bool centred)
{
    m_centred = centred;
    m_cache = {};
    update();
}

void PictureControl::setTransparent(bool transparent)
{
    m_transparent = transparent;
    m_cache = {};
    update();
}

QImage PictureControl::rendered()
{
    if (m_cache.isNull())
        m_cache = QPixmap::fromImage(render());
    return m_cache.toImage();
}

QImage PictureControl::render()
{
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QRect target = rect();
    if (m_centred) {
        target.setSize(m_renderer.defaultSize());
        target.moveCenter(rect().center());
    }
    m_renderer.render(&painter, target);
    painter.end();

    if (m_transparent && !image.isNull()) {
        const QRgb key = image.pixel(0, image.height() - 1);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (line[x] == key)
                    line[x] = 0;
            }
        }
    }
    return image;
}

void PictureControl::paintEvent(QPaintEvent *)
{
    if (m_cache.isNull())
        m_cache = QPixmap::fromImage(render());
    QPainter(this).drawPixmap(0, 0, m_cache);
}

void PictureControl::resizeEvent(QResizeEvent *)
{
    m_cache = {};
}

void PictureControl::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    Q_EMIT mousePressed(event->button());
}

void PictureControl::mouseMoveEvent(QMouseEvent *event)
{
    Q_EMIT mouseMoved(event->modifiers());
}

void PictureControl::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton
                       && rect().contains(event->position().toPoint());
    m_pressed = false;
    Q_EMIT mouseReleased(event->button());
    if (click)
        Q_EMIT clicked();
}
