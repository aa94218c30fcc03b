#include "OutputFile.h"

#include "OutputTarget.h"

#include <QFile>

namespace {

std::string localPath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

bool OutputFile::sameTarget(const QString &first, const QString &second)
{
    return sameOutputTarget(localPath(first), localPath(second));
}

bool OutputFile::succeeded(bool ok)
{
    m_error = ok ? QString() : QFile::decodeName(m_file.error().c_str());
    return ok;
}

bool OutputFile::open(const QString &path)
{
    m_path = path;
    m_opened = succeeded(m_file.open(localPath(path))) && !path.isEmpty();
    return m_error.isEmpty();
}

bool OutputFile::write(const QByteArray &contents)
{
    return succeeded(m_file.write({contents.constData(), std::size_t(contents.size())}));
}
