#include "ResultsDatabase.h"

QString ResultsDatabase::open(const DatabaseUrl &url, Access access)
{
    const bool readOnly = access == Access::ReadOnly;
    if (QString why = m_connection.open(url, readOnly); !why.isEmpty()) {
        m_unavailable = m_connection.unreachable();
        return why;
    }
    if (QString why = m_schema.prepare(!readOnly, &m_unavailable); !why.isEmpty()) {
        m_unavailable = m_unavailable || m_connection.lost();
        close();
        return why;
    }
    return {};
}

std::map<QString, QString> ResultsDatabase::schemaInfo() const
{
    return isOpen() ? m_schema.info() : std::map<QString, QString> {};
}

WriteCheck ResultsDatabase::checkWritable() const
{
    WriteCheck check = m_records.checkWritable();
    check.unavailable = check.unavailable || (!check.error.isEmpty() && m_connection.lost());
    return check;
}
