#pragma once

#include "tools/adsim/PseudoTerminal.h"

#include <QByteArray>
#include <QtGlobal>

#include <chrono>
#include <string_view>

// The converter's end of a pseudo-terminal. Creating one makes its other end
// port 1 of the tool (through ADTEST_COM1); destroying it is the adapter
// being pulled.
class ConverterEnd
{
public:
    ConverterEnd()
    {
        if (!m_terminal.open())
            qFatal("cannot create a pseudo-terminal: %s", m_terminal.errorString().c_str());
        qputenv("ADTEST_COM1", QByteArray::fromStdString(m_terminal.slavePath()));
    }

    // Writes all of `bytes`, waiting while the line is full.
    void send(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const ByteSink::WriteResult result = m_terminal.write(bytes);
            if (result.status == ByteSink::WriteResult::Status::Written)
                bytes.remove_prefix(result.count);
            else if (result.status == ByteSink::WriteResult::Status::Full)
                m_terminal.waitWritable(std::chrono::milliseconds(50));
            else
                qFatal("writing to the pseudo-terminal failed");
        }
    }
    void send(const QByteArray &bytes) { send(std::string_view(bytes.constData(), bytes.size())); }
    void send(const char *bytes) { send(std::string_view(bytes)); }

    PseudoTerminal &terminal() { return m_terminal; }

private:
    PseudoTerminal m_terminal;
};
