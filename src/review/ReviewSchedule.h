#pragma once

#include "review/PhraseMemory.h"

#include <QString>

#include <optional>

// One learner's memory as the launcher keeps it while the learner is logged in: read from
// every per-phrase row once (a long history takes a while, so the launcher does it on a
// thread of its own at login), then brought up to date with only the rows added since, which
// is quick. It is never stored: the rows are the one record, and a new login reads them anew.
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

private:
    QString m_usersDatabase;
    QString m_learner;
    std::optional<PhraseMemory> m_memory;
    qint64 m_lastResultId = 0;
};
