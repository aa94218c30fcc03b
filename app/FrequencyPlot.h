#pragma once

#include "AxisScale.h"

#include <QColor>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <optional>
#include <vector>

struct DynamicResult;

// The spectrum of a sine record against frequency (in hertz when the sample
// rate is known, else in cycles per sample), over a band the operator can
// narrow. It is scaled so that a tone's peak reads its level as the figures
// give it: each bin is raised by the window's noise bandwidth, whose bins a
// tone's power spreads over. The scale runs from the top tone down to the
// noise floor with a margin. The fundamental and the harmonics are marked
// at their bins ("F", "2", "3", ...), the largest spur too; the window, the
// record length and the averages are named over it. Each pixel column shows
// the lowest and highest bin on it, so a narrow spur is never lost when
// thousands of bins share the width. Without a spectrum it says why instead.
// A reference board's spectrum may be drawn under the live one, at the same
// frequencies in hertz when both rates are known.
class FrequencyPlot : public QWidget
{
    Q_OBJECT

public:
    static inline const QColor markerColour {200, 0, 0};
    static inline const QColor spurColour {230, 110, 0};
    static inline const QColor floorColour {120, 120, 120};
    static inline const QColor traceColour {0, 70, 160};
    static inline const QColor referenceColour {240, 160, 90};
    // The noise floor lies this far above the scale's bottom, at least.
    static constexpr double floorMargin = 20;

    explicit FrequencyPlot(QWidget *parent = nullptr);

    // The result's spectrum and tones; a result without figures clears the
    // plot and shows "No sine: " and its reason.
    void setResult(const DynamicResult &result);
    // No spectrum; `message` is shown in its place.
    void clearSpectrum(const QString &message);
    // A reference board's spectrum, named in a legend; a result without a
    // spectrum clears it.
    void setReference(const DynamicResult &result, const QString &name);
    void clearReference();
    bool hasReference() const { return !m_referenceDbfs.empty(); }
    // The band shown, in cycles per sample, both ends included.
    void setFrequencyWindow(double from, double to);

    QString message() const { return m_message; }
    // What the plot says over the spectrum: "Blackman-Harris 7-term window,
    // 65536 samples, no averaging".
    QString caption() const { return m_caption; }
    // Where the axes are, in widget pixels, for the current size.
    QRect plotRect() const;
    // The dB each bin is raised by, so that a tone reads its level.
    double toneGainDb() const { return m_toneGainDb; }

    // The level axis for a result's spectrum raised by `toneGainDb`: from
    // at least 0 dBFS (higher where a tone is) down to the noise floor less
    // floorMargin, on round ticks.
    static AxisScale levelAxis(const DynamicResult &result, double toneGainDb);
    // The noise bandwidth of the result's window in dB of a bin: 0 for the
    // rectangular one.
    static double windowGainDb(const DynamicResult &result);

    QSize minimumSizeHint() const override { return {240, 180}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Tone
    {
        int order; // 0: a spur other than a harmonic
        std::size_t bin;
        double dbfs;
    };

    std::vector<double> m_dbfs; // per bin 0..recordLength/2, tone-scaled
    std::size_t m_recordLength = 0;
    std::vector<Tone> m_tones;
    std::optional<Tone> m_spur; // the largest tone but the fundamental
    std::optional<double> m_floorDbfs; // per bin, as the figures give it
    std::optional<double> m_sampleRate;
    AxisScale m_levels;
    double m_toneGainDb = 0;
    QString m_caption;
    QString m_message;
    double m_from = 0;
    double m_to = 0.5;
    std::vector<double> m_referenceDbfs; // tone-scaled by its own window
    std::size_t m_referenceLength = 0;
    std::optional<double> m_referenceRate;
    QString m_referenceName;
};
