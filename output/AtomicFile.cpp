#include "AtomicFile.h"

#include "WholeFile.h"

#include <QFile>

bool writeFileAtomically(const QString &path, const QByteArray &contents, QString *reason)
{
    if (path.isEmpty()) {
        if (reason)
            *reason = QStringLiteral("no file named");
        return false;
    }
    // A file called "-" here, never standard output.
    WholeFile file;
    if (file.open(QFile::encodeName(path == QLatin1String("-") ? QStringLiteral("./-") : path)
                      .toStdString())
        && file.write({contents.constData(), std::size_t(contents.size())}))
        return true;
    if (reason)
        *reason = QString::fromLocal8Bit(file.reason().c_str());
    return false;
}
