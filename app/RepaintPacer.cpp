#include "RepaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

RepaintPacer::RepaintPacer(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    m_heldBack.setSingleShot(true);
    m_heldBack.setTimerType(Qt::PreciseTimer);
    connect(&m_heldBack, &QTimer::timeout, this, &RepaintPacer::repaintNow);
    m_window->installEventFilter(this);
}

bool RepaintPacer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::UpdateRequest)
        return false;
    const qint64 elapsed = m_sinceLastRepaint.isValid() ? m_sinceLastRepaint.elapsed() : intervalMs;
    if (m_passNext || elapsed >= intervalMs) {
        m_passNext = false;
        m_heldBack.stop();
        m_sinceLastRepaint.start();
        emit aboutToRepaint();
        return false;
    }
    // Qt posts no further request until this one is handled, and keeps
    // collecting the changed areas meanwhile; the held-back request paints
    // them all at once.
    if (!m_heldBack.isActive())
        m_heldBack.start(int(intervalMs - elapsed));
    return true;
}

void RepaintPacer::repaintNow()
{
    m_passNext = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &request);
}
