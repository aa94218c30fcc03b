#include "PortToolTip.h"

#include "QtSerialLink.h"
#include "RecoveryFile.h"

#include <QDir>
#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

PortToolTip::PortToolTip(const QtSerialLink &link, QObject *parent)
    : QObject(parent)
    , m_link(link)
{ }

void PortToolTip::watch(QWidget *control)
{
    control->installEventFilter(this);
}

QString PortToolTip::text() const
{
    if (m_link.openedDevice().isEmpty()) {
        return QStringLiteral("Port 1 is %1.\nIt is not open: START opens it.")
            .arg(m_link.port1Device());
    }
    QString device = m_link.device();
    if (m_link.openedDevice() != device)
        device += QStringLiteral(" (%1)").arg(m_link.openedDevice());
    const std::uint64_t count = m_link.charactersReceived();
    const QString characters
        = count == 1 ? QStringLiteral("1 character") : QStringLiteral("%1 characters").arg(count);
    if (m_link.deviceLost()) {
        return QStringLiteral("Port 1 is %1.\nIt closed when the device went away: reconnect it "
                              "and press START.\n%2 had arrived since START.\n%3")
            .arg(device, characters, whileMissing());
    }
    QString text = QStringLiteral("Port 1 is %1.\n%2 since START.").arg(device, characters);
    if (m_link.isOpen() && count == 0) {
        text += QStringLiteral("\nNothing has arrived: check the cable, the converter's power and "
                               "that it sends at 9600 baud.");
    }
    return text;
}

QString PortToolTip::lostPortText() const
{
    if (!m_link.deviceLost())
        return {};
    return QStringLiteral("Port 1 (%1) went away: no more readings arrive. Reconnect the device "
                          "and press START. %2")
        .arg(m_link.device(), whileMissing());
}

QString PortToolTip::whileMissing()
{
    return QStringLiteral("While it is missing, START ends the program, saving the histogram and "
                          "the samples to %1 first.")
        .arg(QDir::toNativeSeparators(recoveryFolder()));
}

bool PortToolTip::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        QToolTip::showText(help->globalPos(), text(), qobject_cast<QWidget *>(watched));
        return true;
    }
    return QObject::eventFilter(watched, event);
}
