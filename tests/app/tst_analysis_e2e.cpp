#include "ConverterEnd.h"
#include "GuiTestMain.h"
#include "LoopSession.h"

#include "AnalysisWindow.h"
#include "HistogramActions.h"
#include "QtSerialLink.h"
#include "SignalPattern.h"
#include "StreamGenerator.h"

#include <QTest>

#include <thread>

// A faulty converter on the line, the window's loop and its analysis window.
class AnalysisEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void analysisFindsTheConvertersMissingCodes()
    {
        ConverterEnd converter;
        Form1 form;
        form.show();
        LoopSession session(form);

        SignalPattern::Settings settings {SignalPattern::Shape::Ramp};
        settings.converter.dnlSigma = 0.1;
        settings.converter.missingCodes = {300, 1234, 3999};
        constexpr int frames = 4096 * 12;
        std::string stream;
        SignalPattern signal(settings, 11);
        StreamGenerator wellFormed({}, 11); // no junk, no malformed frames
        for (int i = 0; i < frames; ++i)
            stream += wellFormed.nextFrame(signal.nextCode());

        std::thread sender;
        session.waitUntil(
            "the port", [&] { return form.serialLink().isOpen(); },
            [&] {
                form.histogramActions().openAnalysis();
                sender = std::thread([&] { converter.send(stream); });
            });
        // The analysis window is fed by the once-a-second tick, so this also
        // waits for a tick after the last frame.
        session.waitUntil("every frame analysed",
            [&] { return form.histogramActions().analysisWindow()->result().samples == frames; });
        const QString failure = session.run(60000);
        sender.join();
        QCOMPARE(failure, QString());

        const CodeDensityResult &result = form.histogramActions().analysisWindow()->result();
        QCOMPARE(result.kind, TestKind::Ramp);
        QCOMPARE(result.linearity.missingCodes, settings.converter.missingCodes);
    }
};

ADTEST_GUI_TEST_MAIN(AnalysisEndToEndTest)
#include "tst_analysis_e2e.moc"
