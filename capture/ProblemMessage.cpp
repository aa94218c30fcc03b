#include "ProblemMessage.h"

#include "CommandLineError.h"

void reportProblem(const QString &message)
{
    const QByteArray text = message.toLocal8Bit();
    reportError({text.constData(), std::size_t(text.size())});
}
