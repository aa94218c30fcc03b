#include "QtWindowToolkit.h"

#include "LampShape.h"
#include "PlotArea.h"
#include "RepaintPacer.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextDocument>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Inserts a zero-width space into every run of more than `longest`
// characters without a space or a slash, so that it can wrap. Names that fit
// on a line, such as /dev/serial/by-id/... aliases, stay untouched.
QString breakableForDisplay(const QString &text, qsizetype longest = 60)
{
    QString shown;
    shown.reserve(text.size());
    qsizetype run = 0;
    for (const QChar character : text) {
        if (character.isSpace() || character == QLatin1Char('/'))
            run = 0;
        else if (++run > longest) {
            shown += QChar(0x200B);
            run = 1;
        }
        shown += character;
    }
    return shown;
}

QColor toQColor(Rgb colour)
{
    return QColor(colour.red, colour.green, colour.blue);
}

std::array<QLineEdit *, HeldOutputs::fieldCount> outputFields(const ToolkitControls &controls)
{
    return {controls.fields[0], controls.fields[1], controls.fields[2], controls.fields[3]};
}

} // namespace

QtWindowToolkit::QtWindowToolkit(const ToolkitControls &controls)
    : m_controls(controls)
    , m_outputs(outputFields(controls), controls.lamp)
{
    if (m_controls.pacer) {
        m_pushOnRepaint = QObject::connect(m_controls.pacer, &RepaintPacer::aboutToRepaint,
            m_controls.pacer, [this] { m_outputs.push(); });
    }
}

QtWindowToolkit::~QtWindowToolkit()
{
    QObject::disconnect(m_pushOnRepaint);
}

// Ends the process without unwinding: the acquisition loop that may be running
// never returns, and the operating system releases the window and the port.
void QtWindowToolkit::exitProcess(
    int status, const QString &message, QWidget *window, const QString &details)
{
    if (!message.isEmpty()) {
        const QString title = window ? window->windowTitle() : QCoreApplication::applicationName();
        QMessageBox box(QMessageBox::Critical, title.trimmed(), QString(), QMessageBox::Ok, window);
        // A long device path has no space to break at. As rich text the label
        // breaks it after a slash; a name too long for one line gets
        // invisible break points too, instead of running off the box's edge.
        box.setTextFormat(Qt::RichText);
        box.setText(Qt::convertFromPlainText(breakableForDisplay(message), Qt::WhiteSpaceNormal));
        // Below the message, which stays as it is: what was kept of the run.
        if (!details.isEmpty())
            box.setInformativeText(
                Qt::convertFromPlainText(breakableForDisplay(details), Qt::WhiteSpaceNormal));
        box.exec();
    }
    std::fflush(nullptr);
    std::_Exit(status);
}

QLineEdit *QtWindowToolkit::field(TextField field) const
{
    return m_controls.fields[static_cast<std::size_t>(field)];
}

// The output fields have no change handlers, so their texts may wait for the
// next repaint; the setting fields' texts are set at once, running the limits.
std::string QtWindowToolkit::fieldText(TextField which) const
{
    const auto index = static_cast<std::size_t>(which);
    if (index < HeldOutputs::fieldCount && m_controls.pacer)
        return m_outputs.text(index);
    return field(which)->text().toStdString();
}

void QtWindowToolkit::setFieldText(TextField which, std::string_view text)
{
    const auto index = static_cast<std::size_t>(which);
    if (index < HeldOutputs::fieldCount && m_controls.pacer)
        m_outputs.setText(index, text);
    else
        field(which)->setText(toQString(text));
}

// START's loop sets the output fields to numbers several times per frame: they
// are held as numbers and formatted only when pushed or read.
void QtWindowToolkit::setFieldNumber(TextField which, std::int64_t value)
{
    const auto index = static_cast<std::size_t>(which);
    if (index < HeldOutputs::fieldCount && m_controls.pacer)
        m_outputs.setNumber(index, value);
    else
        setFieldText(which, IntegerText(value));
}

void QtWindowToolkit::setCaption(CaptionLabel label, std::string_view text)
{
    m_controls.captions[static_cast<std::size_t>(label)]->setText(toQString(text));
}

void QtWindowToolkit::setLampColour(Rgb colour)
{
    if (m_controls.pacer)
        m_outputs.setLampColour(colour);
    else
        m_controls.lamp->setFillColour(toQColor(colour));
}

void QtWindowToolkit::clearPlot()
{
    m_controls.plot->clearDrawing();
}

float QtWindowToolkit::plotWidth() const
{
    return static_cast<float>(m_controls.plot->outerWidthTwips());
}

void QtWindowToolkit::drawPlotLine(int x1, int y1, int x2, int y2, Rgb colour)
{
    m_controls.plot->drawLine(QPoint(x1, y1), QPoint(x2, y2), toQColor(colour));
}

void QtWindowToolkit::yieldToEvents()
{
    letYieldsPass(m_pump.yield(takePassedYields()));
}

void QtWindowToolkit::waitForEvents()
{
    letYieldsPass(m_pump.wait(takePassedYields()));
}

void QtWindowToolkit::endProgram()
{
    m_ended = true;
    m_exitHandler(0, QString());
}

void QtWindowToolkit::endWithError(std::string_view message)
{
    m_ended = true;
    m_exitHandler(1, toQString(message));
}
