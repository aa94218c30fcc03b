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
    // The temporary file is made and dropped again, and write() makes it
    // anew: a capture ended at once by a second signal leaves no stray file.
    const bool opened = succeeded(m_file.open(localPath(path)));
    m_file.discard();
    m_opened = opened && !path.isEmpty();
    return opened;
}

bool OutputFile::write(const QByteArray &contents)
{
    return succeeded(m_file.write({contents.constData(), std::size_t(contents.size())}));
}
