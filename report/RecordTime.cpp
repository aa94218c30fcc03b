#include "RecordTime.h"

namespace {

class Reader
{
public:
    explicit Reader(std::string_view text)
        : m_text(text)
    { }

    bool atEnd() const { return m_at == m_text.size(); }
    bool take(char c)
    {
        if (atEnd() || m_text[m_at] != c)
            return false;
        ++m_at;
        return true;
    }
    bool peekDigit() const { return !atEnd() && m_text[m_at] >= '0' && m_text[m_at] <= '9'; }
    // Exactly `count` digits.
    bool number(int count, int &value)
    {
        value = 0;
        for (int i = 0; i < count; ++i) {
            if (!peekDigit())
                return false;
            value = value * 10 + (m_text[m_at++] - '0');
        }
        return true;
    }
    // Milliseconds from the digits of a fraction: more than three are cut.
    int fraction()
    {
        int millis = 0;
        int digits = 0;
        while (peekDigit()) {
            if (digits++ < 3)
                millis = millis * 10 + (m_text[m_at] - '0');
            ++m_at;
        }
        for (; digits < 3; ++digits)
            millis *= 10;
        return millis;
    }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t daysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return std::int64_t(era) * 146097 + dayOfEra - 719468;
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

} // namespace

std::optional<std::int64_t> parseIsoTime(std::string_view text)
{
    Reader in(text);
    int year = 0, month = 0, day = 0;
    if (!in.number(4, year) || !in.take('-') || !in.number(2, month) || !in.take('-')
        || !in.number(2, day) || month < 1 || month > 12 || day < 1
        || day > daysInMonth(year, month))
        return std::nullopt;
    std::int64_t millis = daysFromCivil(year, month, day) * 86'400'000;
    if (in.atEnd())
        return millis;
    if (!in.take('T') && !in.take(' '))
        return std::nullopt;
    int hour = 0, minute = 0, second = 0;
    if (!in.number(2, hour) || !in.take(':') || !in.number(2, minute) || hour > 23 || minute > 59)
        return std::nullopt;
    if (in.take(':')) {
        if (!in.number(2, second) || second > 60) // 60: a leap second
            return std::nullopt;
        if (in.take('.') || in.take(',')) {
            if (!in.peekDigit())
                return std::nullopt;
            millis += in.fraction();
        }
    }
    millis += (hour * 3600 + minute * 60 + second) * std::int64_t(1000);
    if (in.take('Z') || in.atEnd()) // no zone: the database writes UTC
        return in.atEnd() ? std::optional(millis) : std::nullopt;
    const bool ahead = in.take('+');
    if (!ahead && !in.take('-'))
        return std::nullopt;
    int offsetHours = 0, offsetMinutes = 0;
    if (!in.number(2, offsetHours) || offsetHours > 23)
        return std::nullopt;
    in.take(':');
    if (!in.number(2, offsetMinutes) || offsetMinutes > 59 || !in.atEnd())
        return std::nullopt;
    const std::int64_t offset = (offsetHours * 60 + offsetMinutes) * std::int64_t(60'000);
    return ahead ? millis - offset : millis + offset;
}
