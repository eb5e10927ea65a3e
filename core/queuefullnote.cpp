#include "queuefullnote.h"

#include "controllercore.h"

QueueFullNote::QueueFullNote(const ControllerCore &core, qint64 quietIntervalMs, Show show, QObject *parent)
    : QObject(parent),
      m_show(std::move(show)),
      m_quietIntervalMs(quietIntervalMs)
{
    connect(&core, &ControllerCore::queryQueueFull, this, &QueueFullNote::raise);
}

void QueueFullNote::raise()
{
    if (m_pending || (m_sinceShown.isValid() && m_sinceShown.elapsed() < m_quietIntervalMs))
        return;
    m_pending = true;
    QMetaObject::invokeMethod(this, [this] {
        m_show(text());
        m_pending = false;
        m_sinceShown.start();
    }, Qt::QueuedConnection);
}
