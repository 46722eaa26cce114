#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// What the launcher hands an activity: the input file named on the command line (UTF-8,
// CRLF line ends) and the users database where the activity records its results (with the
// launcher's own writer, appendScore of users/UsersDatabase.h).

struct ActivityPhrase
{
    QString phrase;
    QString translation;
    QString translation2;
    QString soundFile;
};

struct ActivityInput
{
    static constexpr int MaxPhrases = 10;
    static constexpr int HeaderLines = 15;
    // Ten phrases and their sound files' names fit many times over; a longer file is refused.
    static constexpr qint64 MaxFileBytes = 1024 * 1024;

    qint64 instanceId = 0;
    QString programCode;
    QString editionTitle;
    QString interfaceLanguage; // "English" or "Spanish"
    QString studiedLanguage;
    QString user;
    QString subject;
    QString usersDatabase;
    int contentLevel = 0;
    std::vector<ActivityPhrase> phrases;
    QString path; // the file read (empty when parsed from bytes)

    // A relative name is looked up in the working folder only; an absolute path is taken as
    // it is.
    static QString resolve(const QString& nameOrPath);
    // Refuses a missing, truncated or malformed file with a reason.
    static std::optional<ActivityInput> read(const QString& nameOrPath, QString* error);
    static std::optional<ActivityInput> parse(const QByteArray& bytes, QString* error);
};
