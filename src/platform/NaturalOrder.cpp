#include "NaturalOrder.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <vector>

namespace {

QCollator makeCollator()
{
    // The C locale (tests, services) compares code points and ignores the numeric mode.
    const QLocale system;
    QCollator collator(system.language() == QLocale::C ? QLocale(QLocale::English) : system);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// A collator per thread: reader threads list folders too.
const QCollator& collator()
{
    thread_local const QCollator c = makeCollator();
    return c;
}

} // namespace

namespace NaturalOrder {

bool less(const QString& a, const QString& b)
{
    const int order = collator().compare(a, b);
    return order != 0 ? order < 0 : a < b;
}

void sort(QStringList& names)
{
    // Each name's key made once rather than at every comparison.
    const QCollator& c = collator();
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keys;
    keys.reserve(size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i)
        keys.emplace_back(c.sortKey(names.at(i)), i);
    std::sort(keys.begin(), keys.end(), [&names](const auto& a, const auto& b) {
        const int order = a.first.compare(b.first);
        return order != 0 ? order < 0 : names.at(a.second) < names.at(b.second);
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const auto& key : keys)
        sorted << std::move(names[key.second]);
    names = std::move(sorted);
}

} // namespace NaturalOrder
