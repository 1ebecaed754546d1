#pragma once

#include <QString>

#include <optional>
#include <utility>

// An error as services report it: a domain, a small code and the message shown to the user.
struct LyrafoldError {
    QString domain = QStringLiteral("Lyrafold");
    int code = 0;
    QString message;
};

// A value or the error that kept it from being made.
template <typename T> class Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(LyrafoldError error) : m_error(std::move(error)) {}

    static Result failure(const QString &message, int code = 0)
    {
        return Result(LyrafoldError{QStringLiteral("Lyrafold"), code, message});
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return *m_value; }
    T &value() & { return *m_value; }
    T &&value() && { return std::move(*m_value); }
    const T *operator->() const { return &*m_value; }

    const LyrafoldError &error() const { return m_error; }

private:
    std::optional<T> m_value;
    LyrafoldError m_error;
};
