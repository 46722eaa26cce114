#include "RandomPhrases.h"

#include <QHash>
#include <QRandomGenerator>

#include <algorithm>

namespace {
RandomPhrases::Source& testSource()
{
    static RandomPhrases::Source s;
    return s;
}

int pick(int n)
{
    const int i = int(RandomPhrases::draw() * n);
    return std::clamp(i, 0, n - 1);
}
} // namespace

namespace RandomPhrases {

void setSourceForTests(Source source)
{
    testSource() = std::move(source);
}

double draw()
{
    if (testSource())
        return testSource()();
    return QRandomGenerator::global()->generateDouble();
}

Result drawPhrases(const QString& folder, const QStringList& files, const QString& programCode, int count,
                   const InvalidPickObserver& onInvalidPick)
{
    return drawPhrases([&folder](const QString& file) { return folder + file; }, files, programCode, count,
                       onInvalidPick);
}

Result drawPhrases(const PathOf& pathOf, const QStringList& files, const QString& programCode, int count,
                   const InvalidPickObserver& onInvalidPick)
{
    Result result;
    std::vector<int> candidates(files.size());
    for (int i = 0; i < files.size(); ++i)
        candidates[i] = i;
    QHash<int, std::vector<qint64>> numbersOf; // subjects already checked and counted
    int invalidPicks = 0;

    while (int(result.phrases.size()) < count) {
        if (candidates.empty()) {
            result.phrases.clear();
            result.allExcluded = true;
            return result;
        }
        // Only subjects still in play are drawn, so every round ends with a phrase or
        // one subject fewer: the draw always ends.
        const int c = pick(int(candidates.size()));
        const int r = candidates[c];
        const QString path = pathOf(files.at(r));
        auto exclude = [&] {
            candidates.erase(candidates.begin() + c);
            ++invalidPicks;
            if (onInvalidPick)
                onInvalidPick(invalidPicks, files.at(r));
        };
        if (!numbersOf.contains(r)) {
            QString error;
            std::optional<std::vector<qint64>> numbers;
            if (checkSubjectFile(path, programCode) == QLatin1String("VALID"))
                numbers = InstalledSubject::phraseNumbers(path, &error);
            if (!numbers || numbers->empty()) {
                exclude();
                continue;
            }
            numbersOf.insert(r, *numbers);
        }
        const std::vector<qint64>& numbers = numbersOf[r];
        const int n = int(numbers.size());
        qint64 k = qint64(draw() * n) + 1;
        // Subjects with gaps in their numbering: draw again among the numbers that exist.
        if (std::find(numbers.begin(), numbers.end(), k) == numbers.end())
            k = numbers[pick(n)];
        bool found = false;
        QString error;
        const auto phrase = InstalledSubject::phrase(path, k, false, &found, &error);
        if (!phrase || !found) {
            numbersOf.remove(r);
            exclude();
            continue;
        }
        result.phrases.push_back({files.at(r), *phrase});
    }
    return result;
}

} // namespace RandomPhrases
