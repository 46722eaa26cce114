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
    return LockedRetry::run(error, nullptr, [&](LockedRetry::Failure& f) {
        auto db = LockedRetry::openUsers(path, f);
        if (!db)
            return false;
        Transaction transaction(*db);
        if (!transaction.ok()) {
            f.text = transaction.errorString();
            f.code = db->lastErrorCode();
            return false;
        }
        if (!ensureTables(*db, &f.text)) {
            f.code = db->lastErrorCode();
            return false;
        }
        return write(*db, f) && transaction.commit(&f.text);
    });
}

} // namespace PhraseResults
