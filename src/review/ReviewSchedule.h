#pragma once

#include "review/PhraseMemory.h"

#include <QString>

#include <optional>

// One learner's memory as the launcher keeps it while the learner is logged in: read once (on
// a thread of its own at login), then brought up to date with only the rows added since.
// The first reading starts from the copy the learner's last login kept in the users database
// and takes in the rows added after it; without a usable copy it replays every row (a long
// history takes a while) and keeps a copy for the next login.
class ReviewSchedule
{
public:
    ReviewSchedule(const QString& usersDatabase, const QString& learner);

    QString learner() const { return m_learner; }
    bool isLoaded() const { return m_memory.has_value(); }
    // Reads every row of the learner (the first time) or the rows added since, and the
    // learner's desired retention. False with the reason when the file cannot be read.
    bool refresh(QString* error);
    // Valid once refresh succeeded.
    const PhraseMemory& memory() const { return *m_memory; }
    // Rows of the learner that could not be replayed (PhraseResults::SkippedRows) in the
    // readings so far.
    int skippedRows() const { return m_skippedRows; }

private:
    // Memory-testing reviews kept with the copy: enough for the memory view's 30 days.
    static constexpr int KeptTestDays = 60;
    bool load(const FsrsScheduler& scheduler, QString* error);

    QString m_usersDatabase;
    QString m_learner;
    std::optional<PhraseMemory> m_memory;
    qint64 m_lastResultId = 0;
    int m_skippedRows = 0;
};
