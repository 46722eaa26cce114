#pragma once

#include "platform/Database.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

// Database work on a file that other programs write too (the users database, which activity
// programs append to): each try waits a short moment for a lock inside the engine, and
// between tries the events of the caller's windows run, so a window repaints while it waits.
namespace LockedRetry {

// How long a locked file is waited for in all, and each try's wait inside the engine.
constexpr int WaitMs = 5000;
constexpr int TryMs = 100;
constexpr unsigned long PauseMs = 20;

// The failure of one try: the engine's text and its result code.
struct Failure
{
    QString text;
    int code = 0;

    bool fromStatement(const Statement& s)
    {
        text = s.errorString();
        code = s.errorCode();
        return false;
    }
};

// Runs operation (bool(Failure&)) until it succeeds, fails for another reason than a lock, or
// WaitMs have passed. *error and *code get the last failure.
template <typename Operation> bool run(QString* error, int* code, Operation operation)
{
    const QDeadlineTimer deadline(WaitMs);
    for (;;) {
        Failure f;
        if (operation(f))
            return true;
        if (Database::failureOf(f.code) != DatabaseFailure::Locked || deadline.hasExpired()) {
            if (error)
                *error = f.text;
            if (code)
                *code = f.code;
            return false;
        }
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, TryMs);
        QThread::msleep(PauseMs);
    }
}

// Opens a database of the template password (the users database) read-write, even for
// reading: a journal left by a program that stopped mid-write must be rolled back, which a
// read-only connection cannot do.
inline std::optional<Database> openUsers(const QString& path, Failure& f)
{
    return Database::open(path, Database::TemplatePassword, Database::Mode::ReadWrite, &f.text, &f.code,
                          TryMs);
}

// Prepares a statement; a failure is recorded in f.
inline Statement prepared(Database& db, const QString& sql, Failure& f)
{
    Statement s = db.prepare(sql, &f.text);
    if (!s.isValid())
        f.code = s.errorCode();
    return s;
}

// One write transaction on the users database at path: write(db, f) runs inside it, and the
// transaction is committed when it succeeds. A lock, also one met at the transaction's start,
// is waited for and tried again as run does. (PhraseResults::writeUsers adds the per-learner
// tables to this; write through it unless the tables must stay as they are.)
template <typename Write> bool writeUsers(const QString& path, QString* error, Write write)
{
    return run(error, nullptr, [&](Failure& f) {
        auto db = openUsers(path, f);
        if (!db)
            return false;
        Transaction transaction(*db);
        if (!transaction.ok()) {
            f.text = transaction.errorString();
            f.code = db->lastErrorCode();
            return false;
        }
        if (!write(*db, f))
            return false;
        if (!transaction.commit(&f.text)) {
            f.code = db->lastErrorCode();
            return false;
        }
        return true;
    });
}

} // namespace LockedRetry
