#include "AnkiReviewLog.h"

#include "platform/Database.h"

namespace AnkiReviewLog {

bool read(Database& collection, VocabularySource& source, QString* error)
{
    source.reviews.clear();
    source.reviewsLeftOut.clear();
    Statement s =
        collection.prepare(QStringLiteral("SELECT c.nid, r.id, r.ease, r.type FROM revlog r LEFT JOIN "
                                          "cards c ON c.id = r.cid ORDER BY r.id"),
                           error);
    if (!s.isValid())
        return false;
    Statement::Step step;
    while ((step = s.step()) == Statement::Step::Row) {
        const qint64 ease = s.integer(2);
        const qint64 type = s.integer(3);
        if (s.isNull(0))
            ++source.reviewsLeftOut[QStringLiteral("reviews of cards no longer in the package")];
        else if (type == 3)
            ++source.reviewsLeftOut[QStringLiteral("reviews in a filtered (cram) deck")];
        else if (type > 3 || type < 0 || ease < 1 || ease > 4)
            ++source.reviewsLeftOut[QStringLiteral("manual reschedules")];
        else
            source.reviews.push_back({s.integer(0), s.integer(1), int(ease)});
    }
    if (step == Statement::Step::Error) {
        if (error)
            *error = s.errorString();
        source.reviews.clear();
        return false;
    }
    return true;
}

} // namespace AnkiReviewLog
