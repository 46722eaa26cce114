#pragma once

#include "review/Grade.h"

#include <QString>

#include <vector>

// Compares what a learner typed with the expected phrase, word by word, forgiving what a
// learner would not call a mistake: letter case, blanks, punctuation around words, the kind
// of apostrophe or quote, and how an accented letter is encoded. An accent that is missing or
// wrong is a mistake of its own ("almost"), apart from a wrong word.
class DictationCheck
{
public:
    struct Word
    {
        enum Mark
        {
            Right,
            Almost,
            Wrong,
            Missing,
            Extra
        };
        Mark mark = Right;
        QString answered; // as typed; empty when Missing
        QString expected; // as in the phrase; empty when Extra
    };

    struct Result
    {
        // The answer and the phrase aligned: one entry per word of either.
        std::vector<Word> words;
        int mistakes = 0; // wrong, missing and extra words
        int almost = 0;   // words right but for an accent
        int expectedWords = 0;
        Grade grade = Grade::Again;
    };

    // Past this many pairs of words the alignment is not searched (a pasted megabyte): the
    // words are then compared in order.
    static constexpr qint64 MaxAlignmentCells = 4'000'000;

    static Result compare(const QString& answer, const QString& expected);

    // The words of a text as compared: invisible format characters (zero-width, soft hyphen,
    // direction marks) taken out and control characters made blanks, NFC, one kind of
    // apostrophe and of quote, case folded,
    // punctuation around each word dropped, and words made only of punctuation left out.
    // The second list holds the words as written.
    static QStringList words(const QString& text, QStringList* written = nullptr);
    // A compared word without its accents (letters only, as NFD leaves them).
    static QString withoutAccents(const QString& word);
};
