#include "ReceiverModel.h"

void ReceiverModel::feed(std::string_view bytes)
{
    for (char byte : bytes) {
        if (m_insideFrame) {
            addToFrame(byte);
        } else if (byte == stx) {
            m_insideFrame = true;
            m_headLength = 0;
            ++m_expectation.framesOpened;
        }
    }
}

void ReceiverModel::addToFrame(char byte)
{
    if (m_headLength < sizeof m_head)
        m_head[m_headLength++] = byte;
    if (byte != cr)
        return;
    ++m_expectation.framesCompleted;
    const int value = decodeFrame(std::string_view(m_head, m_headLength));
    ++m_expectation.histogram[value];
    m_insideFrame = false;
    if (!m_keepCodes)
        return;
    if (m_codes.size() < m_codeLimit)
        m_codes.push_back(static_cast<std::uint16_t>(value));
    else
        ++m_codesDropped;
}

void ReceiverModel::keepCodes(std::size_t limit)
{
    m_keepCodes = limit > 0;
    m_codeLimit = limit;
}

int ReceiverModel::decodeFrame(std::string_view frame)
{
    int value = 0;
    for (char byte : frame.substr(0, 3)) {
        if (byte == ' ' || byte == '\t' || byte == '\n')
            continue;
        int digit;
        if (byte >= '0' && byte <= '9')
            digit = byte - '0';
        else if (byte >= 'A' && byte <= 'F')
            digit = byte - 'A' + 10;
        else if (byte >= 'a' && byte <= 'f')
            digit = byte - 'a' + 10;
        else
            break;
        value = value * 16 + digit;
    }
    return value;
}
