#include "LoopSession.h"

#include "acquisition/AcquisitionLoop.h"
#include "platform/QtWindowToolkit.h"

#include <QDeadlineTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

LoopSession::LoopSession(Form1 &form, int pollMs)
    : form_(form)
    , pollMs_(pollMs)
{
    form_.toolkit().setExitHandler([this](int status, const QString &message) {
        exitStatuses << status;
        exitMessages << message;
    });
}

void LoopSession::waitUntil(
    const QString &what, std::function<bool()> condition, std::function<void()> action)
{
    steps_.push_back({what, std::move(condition), std::move(action)});
}

void LoopSession::then(std::function<void()> action)
{
    steps_.push_back({QStringLiteral("nothing"), [] { return true; }, std::move(action)});
}

QString LoopSession::run(int timeoutMs)
{
    QString failure;
    std::size_t next = 0;
    const QDeadlineTimer deadline(timeoutMs);
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, &driver, [&] {
        if (form_.toolkit().programEnded())
            return;
        while (next < steps_.size() && steps_[next].condition()) {
            if (steps_[next].action)
                steps_[next].action();
            ++next;
        }
        if (next == steps_.size()) {
            form_.toolkit().endProgram();
        } else if (deadline.hasExpired()) {
            failure = QStringLiteral("timed out waiting for: ") + steps_[next].what;
            form_.toolkit().endProgram();
        }
    });
    driver.start(pollMs_);

    QTest::mouseClick(form_.findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
    // START runs from the event queue; the loop returns once the program ends.
    const QDeadlineTimer giveUp(timeoutMs + 5000);
    while ((!form_.toolkit().programEnded() || form_.acquisition().isRunning())
        && !giveUp.hasExpired())
        QTest::qWait(5);
    if (form_.acquisition().isRunning())
        return QStringLiteral("START's loop did not return");
    return failure;
}
