// parlanto-course: writes one edition's tables from the course's sources (see CourseTable.h).
//   parlanto-course phrases SUBJECT.tsv EDITION OUT.tsv
//   parlanto-course virtual EXAMPLES.tsv TITLES.tsv EDITION OUT.tsv
#include "common/CourseTable.h"
#include "platform/Files.h"
#include "state/Edition.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

namespace {

int refuse(const QString& message)
{
    QTextStream(stderr) << "parlanto-course: " << message << '\n';
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList a = QCoreApplication::arguments().mid(1);
    const bool phrases = a.size() == 4 && a.at(0) == QLatin1String("phrases");
    const bool examples = a.size() == 5 && a.at(0) == QLatin1String("virtual");
    if (!phrases && !examples)
        return refuse(QStringLiteral("usage: parlanto-course phrases SUBJECT.tsv EDITION OUT.tsv | "
                                     "parlanto-course virtual EXAMPLES.tsv TITLES.tsv EDITION OUT.tsv"));
    const QString code = a.at(a.size() - 2);
    const auto edition = findEdition(code);
    if (!edition)
        return refuse(QStringLiteral("unknown edition \"%1\"").arg(code));
    QString error;
    std::optional<QByteArray> table;
    if (phrases) {
        const auto source = CourseTable::readSubject(a.at(1), &error);
        const QString comment = QStringLiteral("%1: %2 for %3 speakers (edition %4), made from %5")
                                    .arg(QFileInfo(a.at(3)).completeBaseName(), edition->StudiedLanguage,
                                         edition->InterfaceLanguage, edition->ProgramCode, a.at(1));
        if (source)
            table = CourseTable::phraseTable(*source, edition->InterfaceLanguage, comment, &error);
        if (source && !table)
            error = a.at(1) + QStringLiteral(", ") + error;
    } else {
        const auto source = CourseTable::readVirtual(a.at(1), &error);
        const auto titles = source ? CourseTable::readTitles(a.at(2), &error) : std::nullopt;
        if (titles)
            table = CourseTable::virtualTable(*source, *titles, *edition, &error);
        if (titles && !table)
            error = a.at(1) + QStringLiteral(", ") + error;
    }
    if (!table)
        return refuse(error);
    if (!writeFileAtomically(a.last(), *table, &error))
        return refuse(a.last() + QStringLiteral(": ") + error);
    return 0;
}
