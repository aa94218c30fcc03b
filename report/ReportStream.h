#pragma once

#include "LotSummary.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A report written piece by piece, as the lots come: its opening before the
// first lot, each lot, and its end, every piece handed to the sink as soon as
// it is made. Only the lot at hand is held, whatever the number of lots.
class ReportStream
{
public:
    using Sink = std::function<void(std::string_view)>;

    explicit ReportStream(Sink out)
        : m_out(std::move(out))
    { }
    virtual ~ReportStream() = default;
    ReportStream(const ReportStream &) = delete;
    ReportStream &operator=(const ReportStream &) = delete;

    void add(const LotSummary &lot)
    {
        if (m_lots == 0)
            begin();
        writeLot(lot);
        ++m_lots;
    }
    // The end of the report; a report of no lot is opened first.
    void finish()
    {
        if (m_lots == 0)
            begin();
        end();
    }
    // Empty, or why the report is not whole: it must not be kept then.
    const std::string &error() const { return m_error; }

protected:
    virtual void begin() { }
    virtual void writeLot(const LotSummary &lot) = 0;
    virtual void end() { }

    void write(std::string_view bytes) { m_out(bytes); }
    std::size_t lotsWritten() const { return m_lots; }
    void fail(const std::string &why)
    {
        if (m_error.empty())
            m_error = why;
    }

private:
    Sink m_out;
    std::size_t m_lots = 0;
    std::string m_error;
};

// The whole report of `lots` as one text, from the same pieces.
template<class Report, class... Arguments>
std::string wholeReport(const std::vector<LotSummary> &lots, Arguments &&...arguments)
{
    std::string text;
    Report report(
        [&text](std::string_view piece) { text += piece; }, std::forward<Arguments>(arguments)...);
    for (const LotSummary &lot : lots)
        report.add(lot);
    report.finish();
    return text;
}
