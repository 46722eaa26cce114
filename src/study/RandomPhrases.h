#pragma once

#include "subjects/SubjectFile.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// Drawing the random phrases set: phrases picked at random from the valid installed
// subjects. A subject that fails the edition check, cannot be read or has no rows is
// excluded from further picks; the same phrase may be drawn more than once.
namespace RandomPhrases {

// A number in [0, 1). Tests install their own sequence.
using Source = std::function<double()>;
void setSourceForTests(Source source);
double draw();

// Called after each excluded pick with the running count of excluded picks.
using InvalidPickObserver = std::function<void(int invalidPicks, const QString& fileName)>;

struct DrawnPhrase
{
    QString subjectFile;
    Phrase phrase; // texts only, no sound
};

struct Result
{
    std::vector<DrawnPhrase> phrases;
    bool allExcluded = false; // no installed subject could give a phrase
};

// pathOf gives the path of an installed subject by its file name.
using PathOf = std::function<QString(const QString& fileName)>;
Result drawPhrases(const PathOf& pathOf, const QStringList& files, const QString& programCode, int count,
                   const InvalidPickObserver& onInvalidPick = {});
// The files all in one folder.
Result drawPhrases(const QString& folder, const QStringList& files, const QString& programCode, int count,
                   const InvalidPickObserver& onInvalidPick = {});

} // namespace RandomPhrases
