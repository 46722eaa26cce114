#pragma once

#include "import/VocabularySource.h"

class Database;

// The review log of an Anki collection (its revlog table: id, the moment of the review in
// milliseconds since 1970 UTC; cid, the card, whose cards.nid is the note; ease, the answer 1
// Again to 4 Easy, 0 for an entry that is no answer; type 0 learning, 1 review, 2 relearning,
// 3 a review in a filtered ("cram") deck, 4 and later a manual reschedule), as the notes'
// reviews: each answer of a learning step, a review or a relearning step, in time order.
// Manual reschedules (no answer) and cram reviews are left out and counted, as are reviews of
// cards the collection no longer holds.
namespace AnkiReviewLog {

// Fills source.reviews and source.reviewsLeftOut from the collection (a database opened read
// only); false with the reason when the log cannot be read.
bool read(Database& collection, VocabularySource& source, QString* error);

} // namespace AnkiReviewLog
