#include "RepaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

RepaintPacer::RepaintPacer(QWidget *window)
    : QObject(window)
    , window_(window)
{
    heldBack_.setSingleShot(true);
    heldBack_.setTimerType(Qt::PreciseTimer);
    connect(&heldBack_, &QTimer::timeout, this, &RepaintPacer::repaintNow);
    window_->installEventFilter(this);
}

bool RepaintPacer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != window_ || event->type() != QEvent::UpdateRequest)
        return false;
    const qint64 elapsed = sinceLastRepaint_.isValid() ? sinceLastRepaint_.elapsed() : intervalMs;
    if (passNext_ || elapsed >= intervalMs) {
        passNext_ = false;
        heldBack_.stop();
        sinceLastRepaint_.start();
        return false;
    }
    // Qt posts no further request until this one is handled, and keeps
    // collecting the changed areas meanwhile; the held-back request paints
    // them all at once.
    if (!heldBack_.isActive())
        heldBack_.start(int(intervalMs - elapsed));
    return true;
}

void RepaintPacer::repaintNow()
{
    passNext_ = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window_, &request);
}
