#pragma once

#include <QString>

// The error convention of the core in one line: sets *error (when asked for) and returns false,
// so that a check reads `return fail(error, QStringLiteral("..."));`.
inline bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}
