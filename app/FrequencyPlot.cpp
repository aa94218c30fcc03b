#include "FrequencyPlot.h"

#include "ColumnTrace.h"
#include "DynamicResult.h"
#include "Periodogram.h"
#include "PlotFrame.h"

#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// The record length the window's noise bandwidth is taken at: it hardly
// changes past some hundred samples.
constexpr std::size_t bandwidthSamples = 4096;

QString decibelText(double db)
{
    return QString::number(db, 'f', 1).replace(QLatin1Char('-'), QChar(0x2212));
}

} // namespace

FrequencyPlot::FrequencyPlot(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

double FrequencyPlot::windowGainDb(const DynamicResult &result)
{
    if (result.window == SpectrumWindow::Rectangular)
        return 0;
    // A tone's power spreads over the window's noise bandwidth, n sum(w^2)
    // / sum(w)^2 bins; its peak bin holds that much less.
    const std::vector<double> w = windowCoefficients(result.window, bandwidthSamples);
    const double sum = std::accumulate(w.begin(), w.end(), 0.0);
    const double squares = std::inner_product(w.begin(), w.end(), w.begin(), 0.0);
    return 10 * std::log10(double(w.size()) * squares / (sum * sum));
}

AxisScale FrequencyPlot::levelAxis(const DynamicResult &result, double toneGainDb)
{
    double top = 0;
    for (double dbfs : result.spectrumDbfs) {
        if (std::isfinite(dbfs))
            top = std::max(top, dbfs + toneGainDb);
    }
    double floor = -100;
    if (result.noiseFloorDbfs && std::isfinite(*result.noiseFloorDbfs)) {
        floor = *result.noiseFloorDbfs + toneGainDb;
    } else if (!result.spectrumDbfs.empty()) {
        // Without the figure: the median bin, which the few tones do not move.
        std::vector<double> bins = result.spectrumDbfs;
        const auto middle = bins.begin() + std::ptrdiff_t(bins.size() / 2);
        std::nth_element(bins.begin(), middle, bins.end());
        if (std::isfinite(*middle))
            floor = *middle + toneGainDb;
    }
    return axisScale(std::min(floor - floorMargin, top - 40), top, 40, 6);
}

void FrequencyPlot::setResult(const DynamicResult &result)
{
    const bool spectrum = result.ok || result.hasSpectrum;
    if (!spectrum || result.spectrumDbfs.size() < 2 || result.recordLength == 0) {
        clearSpectrum(QStringLiteral("No sine: %1")
                          .arg(result.reason.empty() ? QStringLiteral("no tone in the record")
                                                     : QString::fromStdString(result.reason)));
        return;
    }
    m_toneGainDb = windowGainDb(result);
    m_levels = levelAxis(result, m_toneGainDb);
    m_dbfs = result.spectrumDbfs;
    for (double &dbfs : m_dbfs)
        dbfs += m_toneGainDb;
    m_recordLength = result.recordLength;
    m_sampleRate = result.sampleRate;
    m_tones.clear();
    m_spur.reset();
    if (result.ok) {
        m_tones.push_back({1, result.fundamental.bin, result.fundamental.dbfs});
        for (const SpectrumTone &harmonic : result.harmonics)
            m_tones.push_back({harmonic.order, harmonic.bin, harmonic.dbfs});
        if (result.sfdrDb && result.spur.bin < m_dbfs.size())
            m_spur = Tone {result.spur.order, result.spur.bin, result.spur.dbfs};
    } else if (!result.spurs.empty() && result.spurs.front().bin < m_dbfs.size()) {
        // No tone (a grounded input): the largest spur against full scale,
        // for idle tones and hum.
        const SpectrumTone &largest = result.spurs.front();
        m_spur = Tone {largest.order, largest.bin, largest.dbfs};
    }
    m_floorDbfs = result.noiseFloorDbfs;
    m_caption = QStringLiteral("%1 window%2, %3 samples, %4")
                    .arg(QString::fromLatin1(spectrumWindowName(result.window)),
                        result.coherent ? QStringLiteral(" (coherent record)") : QString())
                    .arg(result.recordLength)
                    .arg(result.averages > 1 ? QStringLiteral("%1 averages").arg(result.averages)
                                             : QStringLiteral("no averaging"));
    m_message.clear();
    update();
}

void FrequencyPlot::clearSpectrum(const QString &message)
{
    m_dbfs.clear();
    m_recordLength = 0;
    m_tones.clear();
    m_spur.reset();
    m_floorDbfs.reset();
    m_levels = axisScale(-120, 0, 40, 6);
    m_toneGainDb = 0;
    m_caption.clear();
    m_message = message;
    update();
}

void FrequencyPlot::setReference(const DynamicResult &result, const QString &name)
{
    if (!(result.ok || result.hasSpectrum) || result.spectrumDbfs.size() < 2
        || result.recordLength == 0) {
        clearReference();
        return;
    }
    m_referenceDbfs = result.spectrumDbfs;
    const double gain = windowGainDb(result);
    for (double &dbfs : m_referenceDbfs)
        dbfs += gain;
    m_referenceLength = result.recordLength;
    m_referenceRate = result.sampleRate;
    m_referenceName = name;
    update();
}

void FrequencyPlot::clearReference()
{
    m_referenceDbfs.clear();
    m_referenceLength = 0;
    m_referenceRate.reset();
    m_referenceName.clear();
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
    // Above the axes: the title, then room for a marker and its label over a
    // tone at full scale; under them the ticks' labels and the axis' title.
    return PlotFrame::axesRect(*this, PlotFrame::leftMargin(*this, QStringLiteral("-200"), true),
        2 * metrics.height() + 12, 2);
}

void FrequencyPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    PlotFrame frame(painter, *this, plotRect());
    frame.drawTitle(m_caption.isEmpty() ? QStringLiteral("Spectrum")
                                        : QStringLiteral("Spectrum: ") + m_caption);
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

    // A bin below the scale sits on its bottom: a synthetic record's empty
    // bins would otherwise stretch it to nothing.
    const auto yOf = [&](double dbfs) {
        const double shown
            = std::isfinite(dbfs) ? std::clamp(dbfs, m_levels.low, m_levels.high) : m_levels.low;
        return area.top() + (1 - m_levels.place(shown)) * area.height();
    };
    const auto xOf = [&](double frequency) {
        return area.left() + (frequency - m_from) / span * area.width();
    };
    // The horizontal axis in hertz when the rate is known.
    const double unit = m_sampleRate.value_or(1);
    const AxisScale frequencies = ticksWithin(m_from * unit, (m_from + span) * unit, 6);

    frame.drawValueTicks(m_levels, yOf);
    frame.drawPositionTicks(
        frequencies.ticks, frequencies.decimals(), [&](double value) { return xOf(value / unit); });
    frame.drawAxisTitles(m_sampleRate ? QStringLiteral("Frequency (Hz)")
                                      : QStringLiteral("Frequency (cycles/sample)"),
        m_toneGainDb > 0 ? QStringLiteral("dBFS (a tone reads its level)")
                         : QStringLiteral("dBFS"));
    frame.drawBorder();
    if (!m_message.isEmpty()) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(
            area.adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, m_message);
        return;
    }
    if (!hasBins)
        return;

    if (hasReference()) {
        // Where both rates are known a tone of the same hertz lies at the same
        // place, else the same fraction of the rate does.
        const double scale = m_sampleRate && m_referenceRate ? *m_referenceRate / *m_sampleRate : 1;
        painter.setPen(referenceColour);
        ColumnTrace reference(painter);
        for (std::size_t bin = 0; bin < m_referenceDbfs.size(); ++bin) {
            const double frequency = double(bin) / double(m_referenceLength) * scale;
            if (frequency >= m_from && frequency <= m_from + span)
                reference.add(std::min(static_cast<int>(xOf(frequency)), area.right()),
                    yOf(m_referenceDbfs[bin]));
        }
        reference.finish();
    }
    painter.setPen(traceColour);
    ColumnTrace trace(painter);
    for (std::size_t bin = first; bin <= last; ++bin)
        trace.add(std::min(static_cast<int>(xOf(bin / bins)), area.right()), yOf(m_dbfs[bin]));
    trace.finish();

    if (m_floorDbfs) {
        // Where the noise lies on this scale; its label gives the figure's
        // own per-bin level.
        const double y = yOf(*m_floorDbfs + m_toneGainDb);
        painter.setPen(QPen(floorColour, 1, Qt::DashLine));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.drawText(QRectF(area.left() + 4, y + 1, area.width() - 8, metrics.height()),
            Qt::AlignRight,
            QStringLiteral("noise floor %1 dBFS per bin").arg(decibelText(*m_floorDbfs)));
    }

    // A small triangle over a tone's peak, its name above it.
    const auto mark = [&](const Tone &tone, const QColor &colour, const QString &label, int lift) {
        if (tone.bin < first || tone.bin > last)
            return;
        painter.setPen(colour);
        painter.setBrush(colour);
        const int x = std::min(static_cast<int>(xOf(tone.bin / bins)), area.right());
        const int y = static_cast<int>(yOf(m_dbfs[tone.bin])) - 2 - lift;
        painter.drawPolygon(QPolygon({QPoint(x, y), QPoint(x - 3, y - 6), QPoint(x + 3, y - 6)}));
        // The label over the triangle, kept inside the axes' width.
        const int width = metrics.horizontalAdvance(label) + 4;
        const int left
            = std::clamp(x - width / 2, area.left(), std::max(area.left(), area.right() - width));
        painter.drawText(QRect(left, y - 8 - metrics.height(), width, metrics.height()),
            Qt::AlignHCenter | Qt::AlignBottom, label);
    };
    for (const Tone &tone : m_tones)
        mark(tone, markerColour,
            tone.order == 1 ? QStringLiteral("F") : QString::number(tone.order), 0);
    if (m_spur) {
        // Over a harmonic's own mark when the largest spur is one.
        const bool harmonic = m_spur->order > 1;
        mark(*m_spur, spurColour, QStringLiteral("spur %1").arg(decibelText(m_spur->dbfs)),
            harmonic ? metrics.height() + 8 : 0);
    }
    if (hasReference())
        frame.drawLegend(
            {{QStringLiteral("live"), traceColour}, {m_referenceName, referenceColour}});
}
