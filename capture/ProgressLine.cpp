#include "ProgressLine.h"

#include <algorithm>
#include <cmath>

std::optional<double> CaptureProgress::secondsLeft() const
{
    std::optional<double> left;
    if (targetSeconds)
        left = std::max(0.0, *targetSeconds - elapsedSeconds);
    if (targetFrames && framesPerSecond() > 0) {
        const double forFrames
            = std::max<std::int64_t>(0, *targetFrames - frames) / framesPerSecond();
        left = left ? std::min(*left, forFrames) : forFrames;
    }
    return left;
}

QString clockTime(double seconds)
{
    const auto whole = static_cast<long long>(std::llround(std::max(0.0, seconds)));
    const long long hours = whole / 3600;
    const QString minutesAndSeconds = QStringLiteral("%1:%2")
                                          .arg(whole / 60 % 60, hours ? 2 : 1, 10, QLatin1Char('0'))
                                          .arg(whole % 60, 2, 10, QLatin1Char('0'));
    return hours ? QStringLiteral("%1:%2").arg(hours).arg(minutesAndSeconds) : minutesAndSeconds;
}

QString progressLine(const CaptureProgress &progress)
{
    QString line = QString::number(progress.frames);
    if (progress.targetFrames)
        line += QLatin1Char('/') + QString::number(*progress.targetFrames);
    line += QStringLiteral(" frames  %1 frames/s  elapsed %2")
                .arg(std::llround(progress.framesPerSecond()))
                .arg(clockTime(progress.elapsedSeconds));
    if (const auto left = progress.secondsLeft())
        line += QStringLiteral("  left %1").arg(clockTime(*left));
    if (progress.dnlUncertainty)
        line += QStringLiteral("  DNL uncertainty \u00b1%1 LSB")
                    .arg(*progress.dnlUncertainty, 0, 'f', 3);
    else if (progress.noise)
        line += QStringLiteral("  noise %1 LSB rms").arg(*progress.noise, 0, 'f', 3);
    return line;
}
