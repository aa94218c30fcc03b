#include "RawLog.h"

#include <QFile>

bool RawLog::succeeded(bool ok)
{
    m_error = ok ? QString() : QFile::decodeName(m_file.error().c_str());
    return ok;
}

bool RawLog::open(const QString &path)
{
    return succeeded(m_file.open(QFile::encodeName(path).toStdString()));
}

void RawLog::append(const char *bytes, std::size_t count)
{
    m_file.append({bytes, count});
}

bool RawLog::finish()
{
    return succeeded(m_file.commit());
}
