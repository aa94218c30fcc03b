#include "LoopSession.h"
#include "WindowClicks.h"

#include "AcquisitionLoop.h"
#include "QtWindowToolkit.h"

#include <QDeadlineTimer>
#include <QTest>
#include <QTimer>

LoopSession::LoopSession(Form1 &form, int pollMs)
    : m_form(form)
    , m_pollMs(pollMs)
{
    m_form.toolkit().setExitHandler([this](int status, const QString &message) {
        exitStatuses << status;
        exitMessages << message;
    });
}

void LoopSession::waitUntil(
    const QString &what, std::function<bool()> condition, std::function<void()> action)
{
    m_steps.push_back({what, std::move(condition), std::move(action)});
}

void LoopSession::then(std::function<void()> action)
{
    m_steps.push_back({QStringLiteral("nothing"), [] { return true; }, std::move(action)});
}

QString LoopSession::run(int timeoutMs)
{
    QString failure;
    std::size_t next = 0;
    const QDeadlineTimer deadline(timeoutMs);
    QTimer driver;
    const auto stop = [&](const QString &why) {
        failure = why;
        m_form.toolkit().endProgram();
    };
    QObject::connect(&driver, &QTimer::timeout, &driver, [&] {
        if (m_form.toolkit().programEnded())
            return;
        while (next < m_steps.size() && !QTest::currentTestFailed() && m_steps[next].condition()) {
            if (m_steps[next].action)
                m_steps[next].action();
            if (QTest::currentTestFailed())
                break; // report the step whose action failed
            ++next;
        }
        const QString step = next < m_steps.size() ? m_steps[next].what : QStringLiteral("the end");
        if (QTest::currentTestFailed())
            stop(QStringLiteral("a check failed; the scenario stopped at: ") + step);
        else if (next == m_steps.size())
            m_form.toolkit().endProgram();
        else if (deadline.hasExpired())
            stop(QStringLiteral("timed out waiting for: ") + step);
    });
    driver.start(m_pollMs);

    click(m_form, "Command1");
    // START runs from the event queue; the loop returns once the program ends.
    const QDeadlineTimer giveUp(timeoutMs + 5000);
    while ((!m_form.toolkit().programEnded() || m_form.acquisition().isRunning())
        && !giveUp.hasExpired())
        QTest::qWait(5);
    if (m_form.acquisition().isRunning())
        return QStringLiteral("START's loop did not return");
    return failure;
}
