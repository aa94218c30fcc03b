#include "CaptureSession.h"

#include "StopSignals.h"

#include "CodeDensityAnalysis.h"

#include <cstdio>

namespace {

// A few redraws a second: readable, and the analysis behind it stays cheap.
constexpr int tickMs = 250;

} // namespace

CaptureSession::CaptureSession(SerialLink &link, const Settings &settings)
    : m_settings(settings)
    , m_loop(m_state, m_toolkit, link)
{
    m_loop.setObserver(this);
    m_state.record.setCapacity(settings.recordLength);
    m_ticker.setInterval(tickMs);
    QObject::connect(&m_ticker, &QTimer::timeout, [this] { tick(); });
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_deadline, &QTimer::timeout, [this] { stopWith(CaptureStop::Seconds); });
}

std::optional<CaptureStop> CaptureSession::run()
{
    const StopSignals signalWatch([this] { stopWith(CaptureStop::Interrupted); });
    m_startTime = QDateTime::currentDateTime();
    m_clock.start();
    if (m_settings.seconds)
        m_deadline.start(qRound(*m_settings.seconds * 1000));
    m_ticker.start();
    // Returns once the toolkit reports the program ended: a stop asked for
    // here, or the port failing to open.
    m_loop.startAcquisition();
    m_ticker.stop();
    m_deadline.stop();
    m_elapsedSeconds = m_clock.nsecsElapsed() / 1e9;
    m_endTime = QDateTime::currentDateTime();
    if (m_settings.showProgress)
        std::fputs("\r\x1b[K", stderr);
    return m_stop;
}

std::span<const std::uint64_t> CaptureSession::counts() const
{
    return codeCounts(m_state);
}

void CaptureSession::frameCompleted(int)
{
    ++m_completedFrames;
    if (m_settings.frames && m_completedFrames >= *m_settings.frames)
        stopWith(CaptureStop::Frames);
}

// The link closes itself when its device goes away (an adapter pulled, the
// far end of a pseudo-terminal closed).
void CaptureSession::portLost()
{
    stopWith(CaptureStop::PortLost);
}

void CaptureSession::tick()
{
    if (m_settings.showProgress) {
        const QByteArray line = progressLine(progress()).toLocal8Bit();
        std::fprintf(stderr, "\r%s\x1b[K", line.constData());
        std::fflush(stderr);
    }
}

void CaptureSession::stopWith(CaptureStop stop)
{
    if (m_stop)
        return;
    m_stop = stop;
    m_toolkit.requestEnd(0);
}

CaptureProgress CaptureSession::progress() const
{
    CaptureProgress progress;
    progress.frames = m_completedFrames;
    progress.targetFrames = m_settings.frames;
    progress.elapsedSeconds = m_clock.nsecsElapsed() / 1e9;
    progress.targetSeconds = m_settings.seconds;
    const CodeDensityResult result = analyseCodeDensity(counts(), {m_settings.kind, {}});
    if (result.hasLinearity())
        progress.dnlUncertainty = result.linearity.dnlUncertainty99;
    else if (result.kindFits && result.kind == TestKind::Dc)
        progress.noise = result.sigma;
    return progress;
}
