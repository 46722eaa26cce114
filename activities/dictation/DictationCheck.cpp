#include "DictationCheck.h"

#include <QStringList>

#include <algorithm>

namespace {

// Apostrophes and quotes as typed on other keyboards or set by word processors.
QChar plainMark(QChar c)
{
    switch (c.unicode()) {
    case 0x2018: // ‘
    case 0x2019: // ’
    case 0x201B: // ‛
    case 0x02BC: // ʼ
    case 0x00B4: // ´ typed for an apostrophe
    case 0x0060: // `
    case 0x2032: // ′
    case 0xFF07: // ＇
        return QLatin1Char('\'');
    case 0x201C: // “
    case 0x201D: // ”
    case 0x201E: // „
    case 0x201F: // ‟
    case 0x00AB: // «
    case 0x00BB: // »
    case 0x2039: // ‹
    case 0x203A: // ›
    case 0xFF02: // ＂
        return QLatin1Char('"');
    default:
        return c;
    }
}

// Punctuation around a word does not count; the apostrophe does ("po'", "l'").
bool dropped(QChar c)
{
    return c != QLatin1Char('\'') && c.isPunct();
}

QString compared(const QString& written)
{
    QString w = written;
    for (QChar& c : w)
        c = plainMark(c);
    qsizetype from = 0, to = w.size();
    while (from < to && dropped(w.at(from)))
        ++from;
    while (to > from && dropped(w.at(to - 1)))
        --to;
    return w.mid(from, to - from).toCaseFolded();
}

// Edit costs: an accent-only difference is cheap, so that it pairs its words; a misspelt
// word pairs with the word it resembles rather than with its neighbour; a wrong word costs
// less than a missing plus an extra one, but two swapped words show as moved.
constexpr int AlmostCost = 1;
constexpr int IndelCost = 2;
constexpr int SimilarCost = 2;
constexpr int WrongCost = 3;

// Words that begin or end with the same three letters: a cheap test, made for every pair.
bool resemble(const QString& x, const QString& y)
{
    constexpr qsizetype need = 3;
    if (x.size() < need || y.size() < need)
        return false;
    qsizetype same = 0;
    while (same < need && x.at(same) == y.at(same))
        ++same;
    if (same == need)
        return true;
    same = 0;
    while (same < need && x.at(x.size() - 1 - same) == y.at(y.size() - 1 - same))
        ++same;
    return same == need;
}

// What cannot be seen is not compared: format characters (zero-width spaces and joiners,
// the soft hyphen, direction marks, embeddings and isolates) are taken out, and control
// characters separate words as blanks do.
QString visible(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        switch (QChar::category(c)) {
        case QChar::Other_Format:
            break;
        case QChar::Other_Control:
            out += QLatin1Char(' ');
            break;
        default:
            if (QChar::requiresSurrogates(c)) {
                out += QChar(QChar::highSurrogate(c));
                out += QChar(QChar::lowSurrogate(c));
            } else {
                out += QChar(char16_t(c));
            }
        }
    }
    return out;
}

} // namespace

QStringList DictationCheck::words(const QString& text, QStringList* written)
{
    const QString nfc = visible(text).normalized(QString::NormalizationForm_C);
    QStringList result;
    if (written)
        written->clear();
    qsizetype i = 0;
    const qsizetype n = nfc.size();
    while (i < n) {
        while (i < n && nfc.at(i).isSpace())
            ++i;
        const qsizetype start = i;
        while (i < n && !nfc.at(i).isSpace())
            ++i;
        if (i == start)
            break;
        const QString raw = nfc.mid(start, i - start);
        QString word = compared(raw);
        if (word.isEmpty())
            continue; // a dash or a question mark standing alone
        result << word;
        if (written)
            *written << raw;
    }
    return result;
}

QString DictationCheck::withoutAccents(const QString& word)
{
    const QString nfd = word.normalized(QString::NormalizationForm_D);
    QString bare;
    bare.reserve(nfd.size());
    for (QChar c : nfd)
        if (c.category() != QChar::Mark_NonSpacing)
            bare += c;
    return bare.normalized(QString::NormalizationForm_C);
}

DictationCheck::Result DictationCheck::compare(const QString& answer, const QString& expected)
{
    QStringList typed, shown;
    const QStringList a = words(answer, &typed);
    const QStringList e = words(expected, &shown);
    QStringList aBare, eBare;
    for (const QString& w : a)
        aBare << withoutAccents(w);
    for (const QString& w : e)
        eBare << withoutAccents(w);

    Result r;
    r.expectedWords = int(e.size());
    auto pair = [&](qsizetype i, qsizetype j) {
        Word w;
        w.answered = typed.at(i);
        w.expected = shown.at(j);
        w.mark = a.at(i) == e.at(j) ? Word::Right : aBare.at(i) == eBare.at(j) ? Word::Almost : Word::Wrong;
        return w;
    };
    auto extra = [&](qsizetype i) { return Word{Word::Extra, typed.at(i), QString()}; };
    auto missing = [&](qsizetype j) { return Word{Word::Missing, QString(), shown.at(j)}; };

    // The same words at both ends need no search.
    qsizetype head = 0;
    while (head < a.size() && head < e.size() && a.at(head) == e.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < a.size() - head && tail < e.size() - head &&
           a.at(a.size() - 1 - tail) == e.at(e.size() - 1 - tail))
        ++tail;
    for (qsizetype k = 0; k < head; ++k)
        r.words.push_back(pair(k, k));

    const qsizetype n = a.size() - head - tail; // answer words between
    const qsizetype m = e.size() - head - tail; // expected words between
    if (n * m > MaxAlignmentCells) {
        for (qsizetype k = 0; k < std::max(n, m); ++k)
            r.words.push_back(k >= n   ? missing(head + k)
                              : k >= m ? extra(head + k)
                                       : pair(head + k, head + k));
    } else {
        // Edit distance between the middles, then the way back through the table.
        auto cost = [&](qsizetype i, qsizetype j) {
            const qsizetype ai = head + i, ej = head + j;
            if (a.at(ai) == e.at(ej))
                return 0;
            if (aBare.at(ai) == eBare.at(ej))
                return AlmostCost;
            return resemble(aBare.at(ai), eBare.at(ej)) ? SimilarCost : WrongCost;
        };
        std::vector<int> d(size_t((n + 1) * (m + 1)));
        auto at = [&](qsizetype i, qsizetype j) -> int& { return d[size_t(i * (m + 1) + j)]; };
        for (qsizetype i = 0; i <= n; ++i)
            at(i, 0) = int(i) * IndelCost;
        for (qsizetype j = 0; j <= m; ++j)
            at(0, j) = int(j) * IndelCost;
        for (qsizetype i = 1; i <= n; ++i)
            for (qsizetype j = 1; j <= m; ++j)
                at(i, j) = std::min({at(i - 1, j - 1) + cost(i - 1, j - 1), at(i - 1, j) + IndelCost,
                                     at(i, j - 1) + IndelCost});
        std::vector<Word> middle;
        qsizetype i = n, j = m;
        while (i > 0 || j > 0) {
            if (i > 0 && j > 0 && at(i, j) == at(i - 1, j - 1) + cost(i - 1, j - 1)) {
                middle.push_back(pair(head + i - 1, head + j - 1));
                --i;
                --j;
            } else if (j > 0 && at(i, j) == at(i, j - 1) + IndelCost) {
                middle.push_back(missing(head + j - 1));
                --j;
            } else {
                middle.push_back(extra(head + i - 1));
                --i;
            }
        }
        r.words.insert(r.words.end(), middle.rbegin(), middle.rend());
    }
    for (qsizetype k = tail; k > 0; --k)
        r.words.push_back(pair(a.size() - k, e.size() - k));

    for (const Word& w : r.words) {
        r.almost += w.mark == Word::Almost;
        r.mistakes += w.mark == Word::Wrong || w.mark == Word::Missing || w.mark == Word::Extra;
    }
    if (r.mistakes == 0)
        r.grade = r.almost > 0 ? Grade::Hard : Grade::Good;
    else if (r.mistakes == 1 && r.expectedWords >= 4)
        r.grade = Grade::Hard;
    else
        r.grade = Grade::Again;
    return r;
}
