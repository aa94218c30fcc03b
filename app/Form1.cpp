#include "Form1.h"

#include "AcquisitionLoop.h"
#include "ClickableLabel.h"
#include "FieldLimits.h"
#include "HistogramActions.h"
#include "HistogramPlot.h"
#include "LampShape.h"
#include "MeasurementOperations.h"
#include "PlotArea.h"
#include "PortToolTip.h"
#include "QtSerialLink.h"
#include "QtWindowToolkit.h"
#include "RecoveryFile.h"
#include "RepaintPacer.h"
#include "TwipsGeometry.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFont>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <limits>

namespace {

// Arial where it is installed, else its metric twin.
QFont arial(qreal points, bool italic = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(points);
    font.setBold(true);
    font.setItalic(italic);
    return font;
}

void setBackground(QWidget *widget, const QColor &colour)
{
    QPalette colours = widget->palette();
    colours.setColor(QPalette::Window, colour);
    widget->setPalette(colours);
    widget->setAutoFillBackground(true);
}

// The colour Windows paints active window borders with by default; Qt's
// palette has no such role.
const QColor activeBorder(180, 180, 180);
const QColor teal(0, 128, 128);

} // namespace

Form1::Form1(QWidget *parent, const QString &port1Device)
    : QWidget(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
            | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral(" A/D Test (8ch)"));
    // The controls have fixed sizes, so the window's default font has a fixed
    // size too: the desktop's family at the classic dialog size.
    QFont windowFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    windowFont.setPointSizeF(8.25);
    setFont(windowFont);
    const QRect client = twipsToPixelRect(0, 0, 8250, 6495);
    setFixedSize(client.size());
    if (const QScreen *display = screen())
        move(display->availableGeometry().center() - rect().center());

    createControls();
    Comm1 = std::make_unique<QtSerialLink>(port1Device);
    auto *portToolTip = new PortToolTip(*Comm1, this);
    portToolTip->watch(Shape1);
    portToolTip->watch(Label9);
    setTabOrder();
    ToolkitControls controls;
    controls.pacer = new RepaintPacer(this);
    controls.fields = {Text1, Text2, Text3, Text4, Text5, Text6, Text7};
    controls.captions = {Label4, Label11, Label5};
    controls.lamp = Shape1;
    controls.plot = Picture1;
    m_toolkit = std::make_unique<QtWindowToolkit>(controls);
    // Ending the program releases the port before the process goes. Ending
    // on an error (START cannot open the port) keeps the counts first.
    m_toolkit->setExitHandler([this](int status, const QString &message) {
        Comm1->close();
        const QString kept
            = status != 0 ? saveRecoveryFiles(*m_histogramActions, recoveryFolder()) : QString();
        QtWindowToolkit::exitProcess(status, message, this, kept);
    });
    m_acquisition = std::make_unique<AcquisitionLoop>(m_state, *m_toolkit, *Comm1);
    m_histogramActions = new HistogramActions(*this, m_state);
    m_histogramActions->setPortStatus([portToolTip] { return portToolTip->lostPortText(); });

    connectEvents();
    load();
    Text1->setFocus();
}

Form1::~Form1() = default;

void Form1::createControls()
{
    const QFont labelFont = arial(9.75);
    const QFont readingFont = arial(12);

    // Created first so that Text7, which lies over its top-left corner, stays on top.
    Picture1 = new PlotArea(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setTwipsGeometry(120, 135, 8000, 4815);
    // Clicking the plot gives it the focus too, so that its keys (Ctrl+C
    // copies the histogram) work where the operator has just clicked.
    Picture1->setFocusPolicy(Qt::StrongFocus);
    createPlotControls();

    Text7 = createField("Text7", QRect(720, 240, 1035, 330), labelFont);
    Label12 = createLabel(
        "Label12", QStringLiteral("Start"), QRect(660, 5160, 435, 255), Qt::AlignRight, labelFont);
    setBackground(Label12, activeBorder);
    Text5 = createField("Text5", QRect(1200, 5100, 1035, 330), labelFont);
    Label13 = createLabel(
        "Label13", QStringLiteral("End"), QRect(2100, 5160, 855, 255), Qt::AlignRight, labelFont);
    setBackground(Label13, activeBorder);
    Text6 = createField("Text6", QRect(3000, 5100, 1035, 330), labelFont);
    Command4 = createButton("Command4", QStringLiteral("SET"), QRect(5640, 5100, 1035, 315));
    Command3 = createButton("Command3", QStringLiteral("RESET"), QRect(6960, 5100, 1035, 315));

    // The readings row: each field with its caption to its left, created in
    // this order.
    const struct
    {
        QLabel *&label;
        const char *labelName;
        const char *caption;
        int labelLeft; // twips
        QLineEdit *&field;
        const char *fieldName;
        int fieldLeft;
    } readings[] = {
        {Label1, "Label1", "DATA", 240, Text1, "Text1", 1200},
        {Label3, "Label3", "max", 2100, Text3, "Text3", 3000},
        {Label2, "Label2", "min", 3960, Text2, "Text2", 4860},
        {Label8, "Label8", "TIMES", 6060, Text4, "Text4", 6960},
    };
    for (const auto &reading : readings) {
        reading.label = createLabel(reading.labelName, QString::fromLatin1(reading.caption),
            QRect(reading.labelLeft, 5640, 855, 255), Qt::AlignRight, labelFont);
        reading.field = createField(
            reading.fieldName, QRect(reading.fieldLeft, 5580, 1035, 330), readingFont);
    }

    Shape1 = new LampShape(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(twipsToPixelRect(540, 6060, 495, 315));
    Command1 = createButton("Command1", QStringLiteral("START"), QRect(1200, 6060, 1035, 315));
    Label9 = createLabel("Label9", QStringLiteral("COM1 only 9600bps"),
        QRect(2400, 6120, 1815, 255), Qt::AlignLeft, font());

    Label10 = new ClickableLabel(QStringLiteral("Quorvane"), this);
    Label10->setObjectName(QStringLiteral("Label10"));
    Label10->setGeometry(twipsToPixelRect(4560, 6120, 2175, 255));
    Label10->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label10->setFont(arial(12, true));
    QPalette makerColours = Label10->palette();
    makerColours.setColor(QPalette::WindowText, teal);
    Label10->setPalette(makerColours);

    Command2 = createButton("Command2", QStringLiteral("EXIT"), QRect(6960, 6060, 1035, 315));

    // Labels and the lamp are drawn on the window itself, beneath every field
    // and button: where "End", "max" or "min" overlap the field to their left,
    // the field stays whole.
    for (QWidget *graphic : std::initializer_list<QWidget *> {
             Label12, Label13, Label1, Label3, Label2, Label8, Shape1, Label9, Label10})
        graphic->lower();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
}

void Form1::createPlotControls()
{
    const QFont captionFont = arial(9.75);
    const auto addCaption
        = [&](const char *name, const QString &text, QRect twips, Qt::Alignment alignment) {
              auto *label = new QLabel(text);
              label->setObjectName(QLatin1String(name));
              label->setAlignment(alignment | Qt::AlignVCenter);
              label->setFont(captionFont);
              setBackground(label, PlotArea::background);
              Picture1->placeChild(label, twips.x(), twips.y(), twips.width(), twips.height());
              return label;
          };
    Label6 = addCaption("Label6", QStringLiteral("Top"), QRect(0, 120, 495, 255), Qt::AlignRight);
    Label4
        = addCaption("Label4", QStringLiteral("Start"), QRect(60, 4260, 795, 255), Qt::AlignLeft);
    Label11 = addCaption(
        "Label11", QStringLiteral("Center"), QRect(3600, 4260, 975, 255), Qt::AlignHCenter);
    Label5
        = addCaption("Label5", QStringLiteral("End"), QRect(7020, 4260, 855, 255), Qt::AlignRight);

    Picture1->addLineControl({QStringLiteral("Line1"), QPoint(0, 4230), QPoint(8220, 4230), 2});
    Picture1->addLineControl({QStringLiteral("Line2"), QPoint(4096, 4100), QPoint(4096, 4250), 1});
}

QLineEdit *Form1::createField(const char *name, QRect twips, const QFont &font)
{
    auto *field = new QLineEdit(QStringLiteral("Text1"), this);
    field->setObjectName(QLatin1String(name));
    field->setGeometry(twipsToPixelRect(twips.x(), twips.y(), twips.width(), twips.height()));
    field->setAlignment(Qt::AlignCenter);
    field->setFont(font);
    // QLineEdit would cut a text longer than 32767 characters silently, so a
    // long paste such as "000...05000" would lose its digits; the limits
    // then read the whole text.
    field->setMaxLength(std::numeric_limits<int>::max());
    return field;
}

QLabel *Form1::createLabel(
    const char *name, const QString &text, QRect twips, Qt::Alignment alignment, const QFont &font)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(twipsToPixelRect(twips.x(), twips.y(), twips.width(), twips.height()));
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setFont(font);
    return label;
}

QPushButton *Form1::createButton(const char *name, const QString &text, QRect twips)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(twipsToPixelRect(twips.x(), twips.y(), twips.width(), twips.height()));
    return button;
}

void Form1::setTabOrder()
{
    QWidget *const order[] = {Text1, Text2, Text3, Text4, Text5, Text6, Text7, Command1, Command2,
        Command3, Picture1, Command4};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void Form1::connectEvents()
{
    // Queued, so that START's loop, which never returns, runs once the click
    // has been fully delivered rather than inside the button's mouse handler.
    connect(Command1, &QPushButton::clicked, this, &Form1::startClicked, Qt::QueuedConnection);
    connect(Command2, &QPushButton::clicked, this, &Form1::exitClicked);
    connect(Command3, &QPushButton::clicked, this, &Form1::resetClicked);
    connect(Command4, &QPushButton::clicked, this, &Form1::setClicked);
    connect(Label10, &ClickableLabel::clicked, this, &Form1::makerCaptionClicked);
    connect(Timer1, &QTimer::timeout, this, &Form1::timerTicked);

    // The limits run on every change of the text, the program's own included.
    const std::pair<QLineEdit *, TextField> settingFields[]
        = {{Text5, TextField::Text5}, {Text6, TextField::Text6}, {Text7, TextField::Text7}};
    for (const auto &[edit, field] : settingFields) {
        connect(edit, &QLineEdit::textChanged, this,
            [this, field = field] { applyFieldLimit(*m_toolkit, field); });
    }
}

void Form1::load()
{
    for (TextField field : {TextField::Text1, TextField::Text2, TextField::Text3, TextField::Text4})
        m_toolkit->setFieldText(field, "");
    m_toolkit->setFieldText(TextField::Text5, "0");
    m_toolkit->setFieldText(TextField::Text6, "4095");
    m_toolkit->setFieldText(TextField::Text7, "100");
    resetMeasurement(m_state, *m_toolkit);
    Timer1->start();
}

// Closing the window ends the program exactly as EXIT does, so that no
// invisible process is left holding the serial port.
void Form1::closeEvent(QCloseEvent *event)
{
    m_toolkit->endProgram();
    event->accept();
}

void Form1::contextMenuEvent(QContextMenuEvent *event)
{
    m_histogramActions->showMenu(event->globalPos());
}

void Form1::startClicked()
{
    m_acquisition->startAcquisition();
}

void Form1::exitClicked()
{
    m_toolkit->endProgram();
}

void Form1::resetClicked()
{
    resetMeasurement(m_state, *m_toolkit);
}

void Form1::setClicked()
{
    applyDisplayWindow(m_state, *m_toolkit);
}

void Form1::makerCaptionClicked()
{
    loadDemoPattern(m_state);
}

void Form1::timerTicked()
{
    redrawHistogram(m_state, *m_toolkit);
    m_histogramActions->timerTicked();
}
