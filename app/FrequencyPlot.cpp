#include "FrequencyPlot.h"

#include "ColumnTrace.h"
#include "DynamicResult.h"
#include "PlotFrame.h"

#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>

namespace {

// The scale never reaches below this: a bin of a synthetic record can hold
// no power at all, and its logarithm would stretch the plot to nothing.
constexpr double lowestDbfs = -200;

double shown(double dbfs)
{
    return std::isfinite(dbfs) ? std::max(dbfs, lowestDbfs) : lowestDbfs;
}

} // namespace

FrequencyPlot::FrequencyPlot(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void FrequencyPlot::setResult(const DynamicResult &result)
{
    if (!result.ok || result.spectrumDbfs.size() < 2 || result.recordLength == 0) {
        clearSpectrum(QStringLiteral("No sine: %1")
                          .arg(result.reason.empty() ? QStringLiteral("no tone in the record")
                                                     : QString::fromStdString(result.reason)));
        return;
    }
    m_dbfs = result.spectrumDbfs;
    m_recordLength = result.recordLength;
    m_tones.clear();
    m_tones.push_back({1, result.fundamental.bin});
    for (const SpectrumTone &harmonic : result.harmonics)
        m_tones.push_back({harmonic.order, harmonic.bin});
    m_message.clear();
    update();
}

void FrequencyPlot::clearSpectrum(const QString &message)
{
    m_dbfs.clear();
    m_recordLength = 0;
    m_tones.clear();
    m_message = message;
    update();
}

void FrequencyPlot::setFrequencyWindow(double from, double to)
{
    m_from = std::clamp(std::min(from, to), 0.0, 0.5);
    m_to = std::clamp(std::max(from, to), 0.0, 0.5);
    update();
}

QRect FrequencyPlot::plotRect() const
{
    const QFontMetrics metrics = fontMetrics();
    const int margin = metrics.horizontalAdvance(QStringLiteral("-200")) + 8;
    // Above the axes: the title, then room for a marker and its label over a
    // tone at full scale.
    return PlotFrame::axesRect(*this, margin, 2 * metrics.height() + 12);
}

void FrequencyPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    PlotFrame frame(painter, *this, plotRect());
    frame.drawTitle(QStringLiteral("Spectrum (dBFS)"));
    if (frame.tooSmall())
        return;
    const QRect &area = frame.axes();

    const double bins = static_cast<double>(m_recordLength);
    // The bins in the band; at least one bin wide, so that a band narrowed to
    // a point still has a scale.
    const double span = std::max(m_to - m_from, bins > 0 ? 1 / bins : 1e-6);
    const std::size_t first = static_cast<std::size_t>(std::ceil(m_from * bins));
    const std::size_t last = std::min(m_dbfs.empty() ? 0 : m_dbfs.size() - 1,
        static_cast<std::size_t>(std::floor((m_from + span) * bins)));
    const bool hasBins = !m_dbfs.empty() && first <= last;

    // The vertical scale: 0 dBFS at the top unless a bin is above it, down
    // to the lowest bin in the band in steps of 20 dB, at least 40 dB deep.
    double high = 0, low = -40;
    for (std::size_t bin = first; hasBins && bin <= last; ++bin) {
        high = std::max(high, shown(m_dbfs[bin]));
        low = std::min(low, shown(m_dbfs[bin]));
    }
    const double top = std::ceil(high / 20) * 20;
    const double bottom = std::floor(low / 20) * 20;
    const auto yOf = [&](double dbfs) {
        return area.top() + (top - shown(dbfs)) / (top - bottom) * area.height();
    };
    const auto xOf = [&](double frequency) {
        return area.left() + (frequency - m_from) / span * area.width();
    };

    frame.drawBorder();
    for (double level = top - 20; level > bottom; level -= 20)
        painter.drawLine(QPointF(area.left(), yOf(level)), QPointF(area.right(), yOf(level)));
    for (double level = top; level >= bottom; level -= 20)
        frame.drawScaleLabel(yOf(level), QString::number(level, 'f', 0));
    frame.drawAxisLabel(Qt::AlignLeft, QString::number(m_from, 'g', 4));
    frame.drawAxisLabel(Qt::AlignHCenter, QStringLiteral("cycles/sample"));
    frame.drawAxisLabel(Qt::AlignRight, QString::number(m_from + span, 'g', 4));
    if (!m_message.isEmpty()) {
        painter.drawText(
            area.adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, m_message);
        return;
    }
    if (!hasBins)
        return;

    painter.setPen(QColor(0, 70, 160));
    ColumnTrace trace(painter);
    for (std::size_t bin = first; bin <= last; ++bin)
        trace.add(std::min(static_cast<int>(xOf(bin / bins)), area.right()), yOf(m_dbfs[bin]));
    trace.finish();

    // A small triangle over each tone's peak, its order above it.
    painter.setPen(markerColour);
    painter.setBrush(markerColour);
    for (const Tone &tone : m_tones) {
        if (tone.bin < first || tone.bin > last)
            continue;
        const int x = std::min(static_cast<int>(xOf(tone.bin / bins)), area.right());
        const int y = static_cast<int>(yOf(m_dbfs[tone.bin])) - 2;
        painter.drawPolygon(QPolygon({QPoint(x, y), QPoint(x - 3, y - 6), QPoint(x + 3, y - 6)}));
        const QString label = tone.order == 1 ? QStringLiteral("F") : QString::number(tone.order);
        painter.drawText(QRect(x - 20, y - 8 - metrics.height(), 40, metrics.height()),
            Qt::AlignHCenter | Qt::AlignBottom, label);
    }
}
