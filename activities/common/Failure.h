#pragma once

#include <QString>

#include <concepts>
#include <optional>

// The one way an activity's plain classes give up: the reason goes to *error (when asked for)
// and the caller returns what stands for failure, false or no value:
// `return Failure(error, QStringLiteral("..."));`.
class Failure
{
public:
    Failure(QString* error, const QString& why)
    {
        if (error)
            *error = why;
    }
    // Only to bool itself: no number or aggregate is made of a failure on the way.
    template <std::same_as<bool> B> operator B() const { return false; }
    template <typename T> operator std::optional<T>() const { return std::nullopt; }
};
