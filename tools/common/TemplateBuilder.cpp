#include "TemplateBuilder.h"

#include "platform/Database.h"
#include "platform/Fail.h"
#include "state/Edition.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

// Lines of a UTF-8 text file without the header line, blank lines and "#" comments.
bool readLines(const QString& path, QStringList* lines, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail(error, QStringLiteral("%1 cannot be read: %2").arg(path, f.errorString()));
    QTextStream in(&f);
    in.setEncoding(QStringConverter::Utf8);
    bool header = true;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (header) {
            header = false;
            continue;
        }
        lines->append(line);
    }
    return true;
}

bool parseYesNo(const QString& text, bool* value)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("yes") || t == QLatin1String("true") || t == QLatin1String("-1")) {
        *value = true;
        return true;
    }
    if (t == QLatin1String("no") || t == QLatin1String("false") || t == QLatin1String("0")) {
        *value = false;
        return true;
    }
    return false;
}

bool readLinkRows(const QString& path, QList<TemplateSource::LinkRow>* rows, QString* error)
{
    QStringList lines;
    if (!readLines(path, &lines, error))
        return false;
    int number = 1;
    for (const QString& line : lines) {
        const QStringList f = TemplateBuilder::splitTsvLine(line);
        TemplateSource::LinkRow row;
        if (f.size() != 5 || !parseYesNo(f[3], &row.bL1) || !parseYesNo(f[4], &row.bL2))
            return fail(error, QStringLiteral("%1, entry %2: expected English, Spanish, link, bL1, bL2 "
                                              "(Yes or No) separated by tabs")
                                   .arg(QFileInfo(path).fileName())
                                   .arg(number));
        row.english = f[0];
        row.spanish = f[1];
        row.link = f[2];
        rows->append(row);
        ++number;
    }
    return true;
}

bool insertLinkRows(Database& db, const QString& table, const QList<TemplateSource::LinkRow>& rows,
                    QString* error)
{
    Statement ins = db.prepare(
        QStringLiteral("INSERT INTO %1 (English, Spanish, link, bL1, bL2) VALUES (?, ?, ?, ?, ?)").arg(table),
        error);
    if (!ins.isValid())
        return false;
    for (const auto& r : rows) {
        ins.reset();
        ins.bindText(1, r.english).bindText(2, r.spanish).bindText(3, r.link);
        ins.bindInt(4, r.bL1 ? -1 : 0).bindInt(5, r.bL2 ? -1 : 0); // Yes/No: True is -1
        if (!ins.run())
            return fail(error, ins.errorString());
    }
    return true;
}

} // namespace

namespace TemplateBuilder {

QStringList splitTsvLine(const QString& line)
{
    QStringList fields;
    QString current;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('\t')) {
            fields << current;
            current.clear();
        } else if (c == QLatin1Char('\\') && i + 1 < line.size()) {
            const QChar n = line.at(++i);
            current += n == QLatin1Char('t')   ? QChar('\t')
                       : n == QLatin1Char('n') ? QChar('\n')
                       : n == QLatin1Char('r') ? QChar('\r')
                                               : n;
        } else {
            current += c;
        }
    }
    fields << current;
    return fields;
}

bool readSources(const QString& folder, TemplateSource* source, QString* error)
{
    const QString dir = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    *source = TemplateSource();

    // captions.tsv: number, English, Spanish. The numbers must run 1, 2, 3... because
    // the program numbers captions by their stored order.
    QStringList lines;
    if (!readLines(dir + QStringLiteral("captions.tsv"), &lines, error))
        return false;
    for (const QString& line : lines) {
        const QStringList f = splitTsvLine(line);
        const int expected = int(source->captions.size()) + 1;
        if (f.size() != 3 || f[0].toInt() != expected)
            return fail(error, QStringLiteral("captions.tsv: expected caption %1 as number, English, Spanish "
                                              "separated by tabs, found \"%2\"")
                                   .arg(expected)
                                   .arg(line));
        source->captions.append({f[1], f[2]});
    }

    if (!readLinkRows(dir + QStringLiteral("messages.tsv"), &source->systemMessages, error) ||
        !readLinkRows(dir + QStringLiteral("menu.tsv"), &source->menu, error))
        return false;

    // tips.tsv: program codes (comma-separated), tip text.
    lines.clear();
    if (!readLines(dir + QStringLiteral("tips.tsv"), &lines, error))
        return false;
    QMap<QString, QStringList> tipsByCode;
    for (const QString& line : lines) {
        const QStringList f = splitTsvLine(line);
        if (f.size() != 2 || f[1].trimmed().isEmpty())
            return fail(error,
                        QStringLiteral("tips.tsv: expected program codes and a tip, found \"%1\"").arg(line));
        for (const QString& code : f[0].split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (!findEdition(code.trimmed()))
                return fail(error, QStringLiteral("tips.tsv: unknown program code \"%1\"").arg(code));
            tipsByCode[code.trimmed()] << f[1];
        }
    }
    qsizetype rows = 0;
    for (const Edition& e : editionTable()) {
        if (tipsByCode.value(e.ProgramCode).isEmpty())
            return fail(error, QStringLiteral("tips.tsv: no tip for %1").arg(e.ProgramCode));
        rows = std::max(rows, tipsByCode.value(e.ProgramCode).size());
    }
    // An edition with fewer tips repeats its own, so that no edition reads a Null tip.
    for (const Edition& e : editionTable()) {
        const QStringList own = tipsByCode.value(e.ProgramCode);
        QList<std::optional<QString>> column;
        for (qsizetype i = 0; i < rows; ++i)
            column << std::optional<QString>(own.at(i % own.size()));
        source->tips.append({e.ProgramCode, column});
    }
    return true;
}

bool build(const QString& path, const TemplateSource& source, QString* error)
{
    const QString partial = path + QStringLiteral(".part");
    QFile::remove(partial);
    {
        auto db = Database::open(partial, Database::TemplatePassword, Database::Mode::Create, error);
        if (!db)
            return false;
        Transaction tx(*db);
        QStringList tipColumns;
        for (const auto& column : source.tips) {
            if (!findEdition(column.first))
                return fail(error, QStringLiteral("unknown program code \"%1\"").arg(column.first));
            tipColumns << column.first + QStringLiteral(" TEXT");
        }
        for (const Edition& e : editionTable()) {
            if (!tipColumns.contains(e.ProgramCode + QStringLiteral(" TEXT")))
                tipColumns << e.ProgramCode + QStringLiteral(" TEXT");
        }
        const QStringList schema = {
            QStringLiteral("CREATE TABLE tblCaptions (English TEXT, Spanish TEXT)"),
            QStringLiteral("CREATE TABLE tblSystemMessages (English TEXT, Spanish TEXT, link TEXT, "
                           "bL1 INTEGER NOT NULL DEFAULT 0, bL2 INTEGER NOT NULL DEFAULT 0)"),
            QStringLiteral("CREATE TABLE tblMenu (English TEXT, Spanish TEXT, link TEXT, "
                           "bL1 INTEGER NOT NULL DEFAULT 0, bL2 INTEGER NOT NULL DEFAULT 0)"),
            QStringLiteral("CREATE TABLE tblTips (%1)").arg(tipColumns.join(QStringLiteral(", "))),
            QStringLiteral(
                "CREATE TABLE tblUsers (pkStudentID INTEGER PRIMARY KEY AUTOINCREMENT, tFirstname TEXT, "
                "tLastname TEXT, tPassword TEXT, nIcon INTEGER)"),
            QStringLiteral(
                "CREATE TABLE tblscores (pkScoreID INTEGER PRIMARY KEY AUTOINCREMENT, tName TEXT, "
                "tActivity TEXT, tSubject TEXT, textScore TEXT, numberScore REAL, nDate TEXT, nTime TEXT)"),
            QStringLiteral(
                "CREATE VIEW qryActivities AS SELECT DISTINCT tActivity FROM tblscores ORDER BY tActivity"),
            QStringLiteral(
                "CREATE VIEW qrySubjects AS SELECT DISTINCT tSubject FROM tblscores ORDER BY tSubject"),
        };
        for (const QString& sql : schema) {
            if (!db->exec(sql, error))
                return false;
        }

        // Stored in caption-number order: the program reads them without a sort.
        Statement ins =
            db->prepare(QStringLiteral("INSERT INTO tblCaptions (English, Spanish) VALUES (?, ?)"), error);
        if (!ins.isValid())
            return false;
        for (const auto& c : source.captions) {
            ins.reset();
            ins.bindText(1, c.english).bindText(2, c.spanish);
            if (!ins.run())
                return fail(error, ins.errorString());
        }
        if (!insertLinkRows(*db, QStringLiteral("tblSystemMessages"), source.systemMessages, error) ||
            !insertLinkRows(*db, QStringLiteral("tblMenu"), source.menu, error))
            return false;

        qsizetype tipRows = 0;
        for (const auto& column : source.tips)
            tipRows = std::max(tipRows, column.second.size());
        for (qsizetype row = 0; row < tipRows; ++row) {
            QStringList names;
            QStringList marks;
            for (const auto& column : source.tips) {
                names << column.first;
                marks << QStringLiteral("?");
            }
            Statement tip =
                db->prepare(QStringLiteral("INSERT INTO tblTips (%1) VALUES (%2)")
                                .arg(names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                            error);
            if (!tip.isValid())
                return false;
            int position = 1;
            for (const auto& column : source.tips) {
                const auto& cell = row < column.second.size() ? column.second.at(row) : std::nullopt;
                if (cell)
                    tip.bindText(position, *cell);
                else
                    tip.bindNull(position);
                ++position;
            }
            if (!tip.run())
                return fail(error, tip.errorString());
        }
        if (!tx.commit(error))
            return false;
    }
    QFile::remove(path);
    if (!QFile::rename(partial, path)) {
        QFile::remove(partial);
        return fail(error, QStringLiteral("%1 cannot be written").arg(path));
    }
    return true;
}

} // namespace TemplateBuilder
