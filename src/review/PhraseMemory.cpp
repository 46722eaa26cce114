#include "PhraseMemory.h"

#include <QDataStream>
#include <QDateTime>
#include <QHash>
#include <QIODevice>

#include <algorithm>

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
        item.dueDay = item.lastDay + m_scheduler.intervalDays(item.state.stability);
        m_index.insert(key(item.phrase), m_items.size());
        m_items.push_back(item);
    }
}

namespace {

constexpr quint32 CopyMagic = 0x50524d31; // "PRM1": the form of the copy below

} // namespace

QByteArray PhraseMemory::toBytes(qint64 testsSinceDay) const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << CopyMagic;
    for (double w : m_scheduler.weights())
        out << w;
    out << quint32(m_items.size());
    for (const PhraseMemoryItem& i : m_items)
        out << i.phrase.subjectFile << i.phrase.phraseNo << i.state.stability << i.state.difficulty
            << qint32(i.reviews) << qint32(i.lapses) << i.lastUtc << i.lastDay;
    std::vector<std::pair<qint64, bool>> tests;
    std::copy_if(m_tests.begin(), m_tests.end(), std::back_inserter(tests),
                 [testsSinceDay](const auto& t) { return t.first >= testsSinceDay; });
    out << quint32(tests.size());
    for (const auto& [day, recalled] : tests)
        out << day << recalled;
    return bytes;
}

std::optional<PhraseMemory> PhraseMemory::fromBytes(const QByteArray& bytes, const FsrsScheduler& scheduler)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    in >> magic;
    if (magic != CopyMagic)
        return std::nullopt;
    for (double w : scheduler.weights()) {
        double stored = 0;
        in >> stored;
        if (stored != w)
            return std::nullopt; // worked out with other weights
    }
    PhraseMemory memory({}, scheduler);
    quint32 count = 0;
    in >> count;
    // Each item takes more than 40 bytes: a count the copy cannot hold is damage.
    if (in.status() != QDataStream::Ok || count > quint32(bytes.size() / 40))
        return std::nullopt;
    memory.m_items.reserve(count);
    for (quint32 n = 0; n < count; ++n) {
        PhraseMemoryItem i;
        qint32 reviews = 0, lapses = 0;
        in >> i.phrase.subjectFile >> i.phrase.phraseNo >> i.state.stability >> i.state.difficulty >> reviews >>
            lapses >> i.lastUtc >> i.lastDay;
        if (in.status() != QDataStream::Ok || reviews < 1 || !(i.state.stability > 0) ||
            !(i.state.difficulty >= 1 && i.state.difficulty <= 10))
            return std::nullopt;
        i.reviews = reviews;
        i.lapses = lapses;
        i.dueDay = i.lastDay + scheduler.intervalDays(i.state.stability);
        const QString k = key(i.phrase);
        if (memory.m_index.contains(k))
            return std::nullopt;
        memory.m_index.insert(k, memory.m_items.size());
        memory.m_items.push_back(std::move(i));
    }
    in >> count;
    if (in.status() != QDataStream::Ok || count > quint32(bytes.size() / 9))
        return std::nullopt;
    memory.m_tests.reserve(count);
    for (quint32 n = 0; n < count; ++n) {
        qint64 day = 0;
        bool recalled = false;
        in >> day >> recalled;
        memory.m_tests.emplace_back(day, recalled);
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return memory;
}

QString PhraseMemory::key(const PhraseIdentity& phrase)
{
    return QString::number(phrase.phraseNo) + QLatin1Char('/') + phrase.subjectFile;
}

void PhraseMemory::apply(PhraseMemoryItem& item, const PhraseReview& r)
{
    const qint64 day = localDay(r.utcSeconds);
    if (item.reviews == 0) {
        item.state = m_scheduler.first(r.grade);
    } else {
        const int elapsed = int(std::max<qint64>(0, day - item.lastDay));
        if (elapsed > 0) {
            m_tests.emplace_back(day, r.grade > FsrsScheduler::Again);
            if (r.grade == FsrsScheduler::Again)
                ++item.lapses;
        }
        item.state = m_scheduler.next(item.state, elapsed, r.grade);
    }
    ++item.reviews;
    item.lastUtc = r.utcSeconds;
    item.lastDay = std::max(item.lastDay, day);
}

void PhraseMemory::add(const PhraseIdentity& phrase, const PhraseReview& review)
{
    const QString k = key(phrase);
    auto it = m_index.constFind(k);
    if (it == m_index.constEnd()) {
        PhraseMemoryItem item;
        item.phrase = phrase;
        it = m_index.insert(k, m_items.size());
        m_items.push_back(item);
    }
    PhraseMemoryItem& item = m_items[*it];
    apply(item, review);
    item.dueDay = item.lastDay + m_scheduler.intervalDays(item.state.stability);
}

const PhraseMemoryItem* PhraseMemory::find(const PhraseIdentity& phrase) const
{
    const auto it = m_index.constFind(key(phrase));
    return it == m_index.constEnd() ? nullptr : &m_items[*it];
}

void PhraseMemory::setScheduler(const FsrsScheduler& scheduler)
{
    m_scheduler = scheduler;
    for (PhraseMemoryItem& item : m_items)
        item.dueDay = item.lastDay + m_scheduler.intervalDays(item.state.stability);
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
    // Lowest chance of recall first; equal ones in the order of their identity.
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (limit >= 0 && found.size() > size_t(limit))
        found.resize(size_t(limit));
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
