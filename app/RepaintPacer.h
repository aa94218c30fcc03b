#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// Repaints a window at most at a display's pace. Qt repaints a window on the
// next pass of the event loop after any of its widgets changed; START's loop
// passes through the event loop thousands of times a second on a fast line
// (every 0.2 ms at most while characters keep coming), so a window showing
// each frame would repaint as often. The pacer holds back
// a repaint that comes too soon after the last one and lets it through when
// the interval is up. Widgets keep their content current all along; only
// the painting waits.
class RepaintPacer : public QObject
{
    Q_OBJECT

public:
    static constexpr int intervalMs = 16; // about 60 repaints a second

    explicit RepaintPacer(QWidget *window);

signals:
    // A repaint of the window is about to run: the moment to hand the widgets
    // any values held back from them.
    void aboutToRepaint();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void repaintNow();

    QWidget *m_window;
    QElapsedTimer m_sinceLastRepaint;
    QTimer m_heldBack;
    bool m_passNext = false;
};
