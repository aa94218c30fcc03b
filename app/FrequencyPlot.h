#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <vector>

struct DynamicResult;

// The spectrum of a sine record in dBFS against frequency in cycles per
// sample, over a band the operator can narrow. The fundamental and the
// harmonics are marked at their bins ("F", "2", "3", ...). Each pixel column
// shows the lowest and highest bin on it, so a narrow spur is never lost when
// thousands of bins share the width. Without a spectrum it says why instead.
class FrequencyPlot : public QWidget
{
    Q_OBJECT

public:
    static inline const QColor markerColour {200, 0, 0};

    explicit FrequencyPlot(QWidget *parent = nullptr);

    // The result's spectrum and tones; a result without figures clears the
    // plot and shows "No sine: " and its reason.
    void setResult(const DynamicResult &result);
    // No spectrum; `message` is shown in its place.
    void clearSpectrum(const QString &message);
    // The band shown, in cycles per sample, both ends included.
    void setFrequencyWindow(double from, double to);

    QString message() const { return m_message; }
    // Where the axes are, in widget pixels, for the current size.
    QRect plotRect() const;

    QSize minimumSizeHint() const override { return {240, 160}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Tone
    {
        int order;
        std::size_t bin;
    };

    std::vector<double> m_dbfs; // per bin 0..recordLength/2
    std::size_t m_recordLength = 0;
    std::vector<Tone> m_tones;
    QString m_message;
    double m_from = 0;
    double m_to = 0.5;
};
