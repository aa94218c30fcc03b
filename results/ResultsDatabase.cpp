#include "ResultsDatabase.h"

QString ResultsDatabase::open(const DatabaseUrl &url, Access access)
{
    const bool readOnly = access == Access::ReadOnly;
    if (QString why = m_connection.open(url, readOnly); !why.isEmpty())
        return why;
    if (QString why = m_schema.prepare(!readOnly); !why.isEmpty()) {
        close();
        return why;
    }
    return {};
}

std::map<QString, QString> ResultsDatabase::schemaInfo() const
{
    return isOpen() ? m_schema.info() : std::map<QString, QString> {};
}
