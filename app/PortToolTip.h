#pragma once

#include <QObject>
#include <QString>

class QtSerialLink;

// Answers tooltip requests on the controls it watches (the lamp and the port
// caption) with which device port 1 is and how many characters have arrived
// since START: someone whose lamp stays dark sees whether anything comes in
// at all. The text is made when it is asked for, never per frame.
class PortToolTip : public QObject
{
    Q_OBJECT

public:
    PortToolTip(const QtSerialLink &link, QObject *parent);

    void watch(QWidget *control);
    QString text() const;
    // A line for a status bar while the port is lost; empty otherwise.
    QString lostPortText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What START does while the device is missing.
    static QString whileMissing();

    const QtSerialLink &m_link;
};
