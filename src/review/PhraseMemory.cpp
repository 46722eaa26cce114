#include "PhraseMemory.h"

#include <QDateTime>
#include <QHash>
#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

PhraseMemory::PhraseMemory(const std::vector<PhraseHistory>& histories, const FsrsScheduler& scheduler)
    : m_scheduler(scheduler)
{
    m_items.reserve(histories.size());
    for (const PhraseHistory& h : histories) {
        if (h.reviews.empty())
            continue;
        PhraseMemoryItem item;
        item.phrase = h.phrase;
        for (const PhraseReview& r : h.reviews)
            apply(item, r);
        item.dueDay = dueDayOf(item);
        m_index.insert(item.phrase, m_items.size());
        m_items.push_back(item);
    }
}

namespace {

constexpr quint32 CopyMagic = 0x50524d33; // "PRM3": the form of the copy below (with the last grade)

// The days and times a replay of rows can give: the rows' times lie in the years 1 to 9999
// (PhraseResults::parseUtc), and a local day may be one off their UTC day.
constexpr qint64 FirstUtc = -62135596800; // 0001-01-01T00:00:00Z
constexpr qint64 LastUtc = 253402300800;  // 10000-01-01T00:00:00Z
constexpr qint64 FirstDay = 1721426 - 1;  // the Julian day of 0001-01-01, less one
constexpr qint64 LastDay = 5373484 + 1;   // of 9999-12-31, and one more

bool isDay(qint64 day)
{
    return day >= FirstDay && day <= LastDay;
}

// Little-endian numbers written one after another.
class Writer
{
public:
    explicit Writer(QByteArray& bytes) : m_bytes(bytes) {}
    template <typename T> void put(T value)
    {
        static_assert(std::is_arithmetic_v<T>);
        char raw[sizeof(T)];
        if constexpr (std::is_floating_point_v<T>) {
            quint64 bits = 0;
            std::memcpy(&bits, &value, sizeof bits);
            qToLittleEndian(bits, raw);
        } else {
            qToLittleEndian(value, raw);
        }
        m_bytes.append(raw, sizeof raw);
    }
    void put(const QByteArray& text)
    {
        put(quint32(text.size()));
        m_bytes.append(text);
    }

private:
    QByteArray& m_bytes;
};

// Reads what Writer wrote; once anything is short, every later read fails too.
class Reader
{
public:
    explicit Reader(const QByteArray& bytes)
        : m_at(bytes.constData()), m_end(bytes.constData() + bytes.size())
    {
    }
    template <typename T> bool get(T* value)
    {
        if (m_end - m_at < qsizetype(sizeof(T))) {
            m_at = m_end;
            m_ok = false;
            return false;
        }
        if constexpr (std::is_floating_point_v<T>) {
            const quint64 bits = qFromLittleEndian<quint64>(m_at);
            std::memcpy(value, &bits, sizeof bits);
        } else {
            *value = qFromLittleEndian<T>(m_at);
        }
        m_at += sizeof(T);
        return true;
    }
    bool get(QByteArray* text, quint32 maxBytes)
    {
        quint32 size = 0;
        if (!get(&size) || size > maxBytes || m_end - m_at < qsizetype(size))
            return m_ok = false;
        *text = QByteArray(m_at, qsizetype(size));
        m_at += size;
        return true;
    }
    // Whether count entries of at least entryBytes each can still follow.
    bool holds(quint32 count, qsizetype entryBytes) const
    {
        return qsizetype(count) <= (m_end - m_at) / entryBytes;
    }
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_at == m_end; }

private:
    const char* m_at;
    const char* m_end;
    bool m_ok = true;
};

constexpr qsizetype ItemBytes = 4 + 8 + 8 + 8 + 4 + 4 + 8 + 8 + 1;

} // namespace

size_t qHash(const PhraseIdentity& phrase, size_t seed) noexcept
{
    return qHashMulti(seed, phrase.phraseNo, phrase.subjectFile);
}

QByteArray PhraseMemory::toBytes(qint64 testsSinceDay) const
{
    QByteArray bytes;
    Writer out(bytes);
    out.put(CopyMagic);
    for (double w : m_scheduler.weights())
        out.put(w);
    // Each subject name once: a subject's phrases share it.
    QHash<QString, quint32> nameIndex;
    std::vector<quint32> itemNames;
    itemNames.reserve(m_items.size());
    QList<QByteArray> names;
    for (const PhraseMemoryItem& i : m_items) {
        auto it = nameIndex.constFind(i.phrase.subjectFile);
        if (it == nameIndex.constEnd()) {
            it = nameIndex.insert(i.phrase.subjectFile, quint32(names.size()));
            names << i.phrase.subjectFile.toUtf8();
        }
        itemNames.push_back(*it);
    }
    bytes.reserve(bytes.size() + qsizetype(m_items.size()) * ItemBytes + names.size() * 24);
    out.put(quint32(names.size()));
    for (const QByteArray& name : std::as_const(names))
        out.put(name);
    out.put(quint32(m_items.size()));
    for (size_t n = 0; n < m_items.size(); ++n) {
        const PhraseMemoryItem& i = m_items[n];
        out.put(itemNames[n]);
        out.put(i.phrase.phraseNo);
        out.put(i.state.stability);
        out.put(i.state.difficulty);
        out.put(qint32(i.reviews));
        out.put(qint32(i.lapses));
        out.put(i.lastUtc);
        out.put(i.lastDay);
        out.put(quint8(Grades::stored(i.lastGrade)));
    }
    const auto kept = std::count_if(m_tests.begin(), m_tests.end(),
                                    [testsSinceDay](const auto& t) { return t.first >= testsSinceDay; });
    out.put(quint32(kept));
    for (const auto& [day, recalled] : m_tests) {
        if (day >= testsSinceDay) {
            out.put(day);
            out.put(quint8(recalled ? 1 : 0));
        }
    }
    return bytes;
}

std::optional<PhraseMemory> PhraseMemory::fromBytes(const QByteArray& bytes, const FsrsScheduler& scheduler)
{
    Reader in(bytes);
    quint32 magic = 0;
    if (!in.get(&magic) || magic != CopyMagic)
        return std::nullopt;
    for (double w : scheduler.weights()) {
        double stored = 0;
        if (!in.get(&stored) || stored != w)
            return std::nullopt; // worked out with other weights
    }
    quint32 count = 0;
    if (!in.get(&count) || !in.holds(count, 4))
        return std::nullopt;
    QStringList names;
    names.reserve(count);
    for (quint32 n = 0; n < count; ++n) {
        QByteArray name;
        if (!in.get(&name, PhraseIdentity::MaxSubjectFileBytes))
            return std::nullopt;
        QStringDecoder decode(QStringDecoder::Utf8);
        names << decode(name);
        if (decode.hasError())
            return std::nullopt;
    }
    PhraseMemory memory({}, scheduler);
    if (!in.get(&count) || !in.holds(count, ItemBytes))
        return std::nullopt;
    memory.m_items.reserve(count);
    memory.m_index.reserve(count);
    for (quint32 n = 0; n < count; ++n) {
        PhraseMemoryItem i;
        quint32 name = 0;
        qint32 reviews = 0, lapses = 0;
        quint8 lastGrade = 0;
        in.get(&name);
        in.get(&i.phrase.phraseNo);
        in.get(&i.state.stability);
        in.get(&i.state.difficulty);
        in.get(&reviews);
        in.get(&lapses);
        in.get(&i.lastUtc);
        in.get(&i.lastDay);
        in.get(&lastGrade);
        // Only what a replay of rows can give; anything else is damage, and the rows rebuild it.
        if (!in.ok() || name >= quint32(names.size()) || reviews < 1 || lapses < 0 || lapses >= reviews ||
            !(std::isfinite(i.state.stability) && i.state.stability > 0) ||
            !(i.state.difficulty >= 1 && i.state.difficulty <= 10) || i.lastUtc < FirstUtc ||
            i.lastUtc > LastUtc || !isDay(i.lastDay) || !Grades::fromStored(lastGrade))
            return std::nullopt;
        i.phrase.subjectFile = names.at(qsizetype(name));
        i.reviews = reviews;
        i.lapses = lapses;
        i.lastGrade = *Grades::fromStored(lastGrade);
        i.dueDay = memory.dueDayOf(i);
        const qsizetype known = memory.m_index.size();
        memory.m_index.insert(i.phrase, memory.m_items.size());
        if (memory.m_index.size() == known)
            return std::nullopt; // the same phrase twice
        memory.m_items.push_back(std::move(i));
    }
    if (!in.get(&count) || !in.holds(count, 9))
        return std::nullopt;
    memory.m_tests.reserve(count);
    for (quint32 n = 0; n < count; ++n) {
        qint64 day = 0;
        quint8 recalled = 0;
        in.get(&day);
        in.get(&recalled);
        if (!in.ok() || !isDay(day) || recalled > 1)
            return std::nullopt;
        memory.m_tests.emplace_back(day, recalled == 1);
    }
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return memory;
}

void PhraseMemory::apply(PhraseMemoryItem& item, const PhraseReview& r)
{
    const qint64 day = localDay(r.utcSeconds);
    if (item.reviews == 0) {
        item.state = m_scheduler.first(r.grade);
    } else {
        const int elapsed = int(std::max<qint64>(0, day - item.lastDay));
        if (elapsed > 0) {
            m_tests.emplace_back(day, Grades::recalled(r.grade));
            if (r.grade == Grade::Again)
                ++item.lapses;
        }
        item.state = m_scheduler.next(item.state, elapsed, r.grade);
    }
    ++item.reviews;
    item.lastGrade = r.grade;
    item.lastUtc = r.utcSeconds;
    item.lastDay = std::max(item.lastDay, day);
}

void PhraseMemory::add(const PhraseIdentity& phrase, const PhraseReview& review)
{
    auto it = m_index.constFind(phrase);
    if (it == m_index.constEnd()) {
        PhraseMemoryItem item;
        item.phrase = phrase;
        it = m_index.insert(phrase, m_items.size());
        m_items.push_back(item);
    }
    PhraseMemoryItem& item = m_items[*it];
    apply(item, review);
    item.dueDay = dueDayOf(item);
}

qint64 PhraseMemory::dueDayOf(const PhraseMemoryItem& item) const
{
    // Missed: back the same day (and overdue after it) until recalled.
    if (item.lastGrade == Grade::Again)
        return item.lastDay;
    return item.lastDay + m_scheduler.intervalDays(item.state.stability);
}

const PhraseMemoryItem* PhraseMemory::find(const PhraseIdentity& phrase) const
{
    const auto it = m_index.constFind(phrase);
    return it == m_index.constEnd() ? nullptr : &m_items[*it];
}

void PhraseMemory::setScheduler(const FsrsScheduler& scheduler)
{
    m_scheduler = scheduler;
    for (PhraseMemoryItem& item : m_items)
        item.dueDay = dueDayOf(item);
}

qint64 PhraseMemory::localDay(qint64 utcSeconds)
{
    // The offset from UTC changes only at whole hours in practice; asking the time zone once
    // per hour keeps a long history quick to replay.
    static thread_local QHash<qint64, int> offsets;
    const qint64 hour = utcSeconds >= 0 ? utcSeconds / 3600 : (utcSeconds - 3599) / 3600;
    auto it = offsets.constFind(hour);
    if (it == offsets.constEnd()) {
        if (offsets.size() > 100000)
            offsets.clear();
        it = offsets.insert(hour, QDateTime::fromSecsSinceEpoch(hour * 3600).offsetFromUtc());
    }
    const qint64 local = utcSeconds + *it;
    const qint64 days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
    return days + 2440588; // the Julian day of 1970-01-01
}

qint64 PhraseMemory::today()
{
    return localDay(QDateTime::currentSecsSinceEpoch());
}

double PhraseMemory::retrievabilityOn(const PhraseMemoryItem& item, qint64 day) const
{
    return m_scheduler.retrievability(double(std::max<qint64>(0, day - item.lastDay)), item.state.stability);
}

std::vector<PhraseMemoryItem> PhraseMemory::due(qint64 day, int limit) const
{
    std::vector<std::pair<double, const PhraseMemoryItem*>> found;
    for (const PhraseMemoryItem& item : m_items) {
        if (item.dueDay <= day)
            found.emplace_back(retrievabilityOn(item, day), &item);
    }
    // Lowest chance of recall first; equal ones in the order of their identity (their place in
    // m_items). Only the first limit are put in order.
    const auto before = [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second < b.second;
    };
    if (limit >= 0 && found.size() > size_t(limit)) {
        std::partial_sort(found.begin(), found.begin() + limit, found.end(), before);
        found.resize(size_t(limit));
    } else {
        std::sort(found.begin(), found.end(), before);
    }
    std::vector<PhraseMemoryItem> result;
    result.reserve(found.size());
    for (const auto& f : found)
        result.push_back(*f.second);
    return result;
}

int PhraseMemory::dueCount(qint64 day) const
{
    return int(
        std::count_if(m_items.begin(), m_items.end(), [day](const auto& i) { return i.dueDay <= day; }));
}

std::optional<qint64> PhraseMemory::nextDueDay(qint64 day) const
{
    std::optional<qint64> next;
    for (const PhraseMemoryItem& item : m_items) {
        if (item.dueDay > day && (!next || item.dueDay < *next))
            next = item.dueDay;
    }
    return next;
}

PhraseMemory::Counts PhraseMemory::counts() const
{
    Counts c;
    for (const PhraseMemoryItem& item : m_items) {
        if (item.reviews <= 1)
            ++c.newPhrases;
        else if (item.state.stability >= KnownStability)
            ++c.known;
        else
            ++c.learning;
    }
    return c;
}

std::vector<int> PhraseMemory::forecast(qint64 day, int days) const
{
    std::vector<int> counts(size_t(std::max(0, days)), 0);
    for (const PhraseMemoryItem& item : m_items) {
        const qint64 offset = std::max<qint64>(0, item.dueDay - day);
        if (offset < days)
            ++counts[size_t(offset)];
    }
    return counts;
}

std::optional<double> PhraseMemory::achievedRetention(qint64 day, int days) const
{
    int tested = 0, recalled = 0;
    for (const auto& [testDay, ok] : m_tests) {
        if (testDay <= day && testDay > day - days) {
            ++tested;
            recalled += ok ? 1 : 0;
        }
    }
    if (tested == 0)
        return std::nullopt;
    return double(recalled) / tested;
}
