#pragma once

#include <string>
#include <utility>
#include <variant>

// The one error type of the station code: a value, or the reason there is
// none, in one line a person can act on ("FILE: reason"). Nothing in the
// station code throws for a fault of its input.
template<typename T> class StationResult
{
public:
    StationResult(T value)
        : m_state(std::move(value))
    { }
    static StationResult failure(std::string reason)
    {
        return StationResult(Reason {std::move(reason)});
    }

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }
    T &value() { return std::get<T>(m_state); }
    const T &value() const { return std::get<T>(m_state); }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }
    // Empty when there is a value.
    std::string reason() const
    {
        const Reason *reason = std::get_if<Reason>(&m_state);
        return reason ? reason->text : std::string();
    }

private:
    struct Reason
    {
        std::string text;
    };
    explicit StationResult(Reason reason)
        : m_state(std::move(reason))
    { }
    std::variant<T, Reason> m_state;
};
