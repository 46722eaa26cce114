#pragma once

#include "platform/Database.h"
#include "platform/LockedRetry.h"
#include "review/PhraseResults.h"

namespace PhraseResults {

// One write transaction on the users database, with the per-learner tables made where
// missing: write(db, failure) runs inside it, and the transaction is committed when it
// succeeds. A lock is waited for and tried again as LockedRetry does.
template <typename Write> bool writeUsers(const QString& path, QString* error, Write write)
{
    return LockedRetry::writeUsers(path, error, [&](Database& db, LockedRetry::Failure& f) {
        if (!ensureTables(db, &f.text)) {
            f.code = db.lastErrorCode();
            return false;
        }
        return write(db, f);
    });
}

} // namespace PhraseResults
