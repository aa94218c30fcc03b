#include "WindowClicks.h"

#include <QTest>
#include <QWidget>

void click(QWidget &window, const char *name)
{
    QWidget *control = window.findChild<QWidget *>(QLatin1String(name));
    if (!control)
        QFAIL(qPrintable(QStringLiteral("no control named %1").arg(QLatin1String(name))));
    QTest::mouseClick(control, Qt::LeftButton);
}
