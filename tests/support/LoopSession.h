#pragma once

#include "Form1.h"

#include <QString>

#include <functional>
#include <vector>

// Drives a scenario inside START's loop in the real window. START's loop
// never returns, so the test's steps run as handlers inside it: each step
// waits until its condition holds, then acts. After the last step the program
// is ended (the test's exit handler only records it), the loop returns, and
// run() reports how it went. A failed check, in a step or in any handler the
// loop runs, ends the program too, so the scenario stops where it failed.
class LoopSession
{
public:
    // The steps' conditions are checked every `pollMs` milliseconds.
    explicit LoopSession(Form1 &form, int pollMs = 1);

    void waitUntil(
        const QString &what, std::function<bool()> condition, std::function<void()> action = {});
    void then(std::function<void()> action);

    // Presses START and returns once the scenario has finished or failed.
    // Empty on success, else what it was waiting for when time ran out or a
    // check failed.
    QString run(int timeoutMs = 20000);

    QList<int> exitStatuses;
    QStringList exitMessages;

private:
    struct Step
    {
        QString what;
        std::function<bool()> condition;
        std::function<void()> action;
    };

    Form1 &m_form;
    int m_pollMs;
    std::vector<Step> m_steps;
};
