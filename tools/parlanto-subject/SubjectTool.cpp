#include "SubjectTool.h"

#include "BuildInfo.h"
#include "app/Edition.h"
#include "content/TemplateBuilder.h"
#include "platform/Files.h"
#include "platform/WaveFile.h"
#include "subjects/SubjectFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <map>

namespace {

// A subject is studied whole and a study set holds at most ten phrases.
constexpr int MaxPhrases = 10;

const char* UsageText =
    "Usage:\n"
    "  parlanto-subject create OUT --edition CODE --phrases TABLE.tsv [--sounds DIR] [--speak VOICE] "
    "[--force]\n"
    "  parlanto-subject check FILE... [--edition CODE]\n"
    "  parlanto-subject list FILE\n"
    "  parlanto-subject export FILE --to DIR [--force]\n"
    "  parlanto-subject virtual OUT [--table TABLE.tsv --subjects DIR] [--edition CODE] [--force]\n"
    "\n"
    "A phrase table has one phrase per line, fields separated by tabs: phrase, translation,\n"
    "second translation (may be empty), sound file name (optional; relative to --sounds DIR,\n"
    "by default the table's folder). Phrases without a sound file are spoken by espeak-ng\n"
    "with --speak VOICE (for example --speak it). Lines starting with # are comments.\n"
    "A virtual table has one phrase per line: virtual subject name, installed subject file,\n"
    "phrase number. Without --table, virtual writes an empty file (the custom.tpl layout).\n";

struct Arguments
{
    QStringList positional;
    QHash<QString, QString> values;
    QSet<QString> flags;
    QString error;

    QString value(const QString& name) const { return values.value(name); }
    bool has(const QString& name) const { return values.contains(name) || flags.contains(name); }
};

// "--name value", "--name=value" for value options; "--name" for flags; the rest positional.
Arguments parseArguments(const QStringList& arguments, const QStringList& valueOptions,
                         const QStringList& flagOptions)
{
    Arguments parsed;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (!a.startsWith(QLatin1String("--")) || a == QLatin1String("--")) {
            parsed.positional << a;
            continue;
        }
        QString name = a.mid(2);
        QString value;
        bool inlineValue = false;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            inlineValue = true;
        }
        if (flagOptions.contains(name) && !inlineValue) {
            parsed.flags << name;
        } else if (valueOptions.contains(name)) {
            if (!inlineValue) {
                if (i + 1 >= arguments.size()) {
                    parsed.error = QStringLiteral("option --%1 needs a value").arg(name);
                    return parsed;
                }
                value = arguments.at(++i);
            }
            parsed.values.insert(name, value);
        } else {
            parsed.error = QStringLiteral("unknown option --%1").arg(name);
            return parsed;
        }
    }
    return parsed;
}

QString escapeField(const QString& field)
{
    QString out;
    out.reserve(field.size());
    for (const QChar c : field) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else
            out += c;
    }
    return out;
}

// The data lines of a tab-separated file: (line number, unescaped fields).
std::optional<std::vector<std::pair<int, QStringList>>> readTabTable(const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    QString text = QString::fromUtf8(f.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    std::vector<std::pair<int, QStringList>> lines;
    const QStringList raw = text.split(QLatin1Char('\n'));
    for (int i = 0; i < raw.size(); ++i) {
        QString line = raw.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        lines.emplace_back(i + 1, TemplateBuilder::splitTsvLine(line));
    }
    return lines;
}

std::optional<QByteArray> readFile(const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    return f.readAll();
}

// A "*" separates the fields of the program's tree tags, so no phrase text may hold one.
bool hasStar(const QString& a, const QString& b, const QString& c)
{
    return a.contains(QLatin1Char('*')) || b.contains(QLatin1Char('*')) || c.contains(QLatin1Char('*'));
}

QString knownEditions()
{
    QStringList codes;
    for (const Edition& e : editionTable())
        codes << e.ProgramCode;
    return codes.join(QLatin1String(", "));
}

std::optional<Edition> editionOrError(const QString& code, QString* error)
{
    auto edition = findEdition(code);
    if (!edition)
        *error = QStringLiteral("unknown edition \"%1\" (known editions: %2)").arg(code, knownEditions());
    return edition;
}

QString seconds(qint64 ms)
{
    return QStringLiteral("%1 s").arg(double(ms) / 1000.0, 0, 'f', 2);
}

} // namespace

SubjectTool::SubjectTool(QTextStream& out, QTextStream& err) : m_out(out), m_err(err) {}

int SubjectTool::run(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return usage();
    const QString command = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("create"))
        return runCreate(rest);
    if (command == QLatin1String("check"))
        return runCheck(rest);
    if (command == QLatin1String("list"))
        return runList(rest);
    if (command == QLatin1String("export"))
        return runExport(rest);
    if (command == QLatin1String("virtual"))
        return runVirtual(rest);
    if (command == QLatin1String("help") || command == QLatin1String("--help") ||
        command == QLatin1String("-h")) {
        m_out << UsageText;
        m_out.flush();
        return Ok;
    }
    return usage(QStringLiteral("unknown command \"%1\"").arg(command));
}

int SubjectTool::refuse(const QString& message)
{
    m_err << "parlanto-subject: " << message << '\n';
    m_err.flush();
    return Refused;
}

int SubjectTool::usage(const QString& message)
{
    if (!message.isEmpty())
        m_err << "parlanto-subject: " << message << "\n\n";
    m_err << UsageText;
    m_err.flush();
    return Usage;
}

int SubjectTool::runCreate(const QStringList& arguments)
{
    const Arguments a = parseArguments(arguments,
                                       {QStringLiteral("edition"), QStringLiteral("phrases"),
                                        QStringLiteral("sounds"), QStringLiteral("speak")},
                                       {QStringLiteral("force")});
    if (!a.error.isEmpty())
        return usage(a.error);
    if (a.positional.size() != 1)
        return usage(QStringLiteral("create needs exactly one output file"));
    if (!a.has(QStringLiteral("edition")) || !a.has(QStringLiteral("phrases")))
        return usage(QStringLiteral("create needs --edition CODE and --phrases TABLE"));
    CreateOptions o;
    o.out = a.positional.first();
    o.edition = a.value(QStringLiteral("edition"));
    o.table = a.value(QStringLiteral("phrases"));
    o.soundsDir = a.value(QStringLiteral("sounds"));
    o.voice = a.value(QStringLiteral("speak"));
    o.force = a.has(QStringLiteral("force"));
    QString error;
    if (!create(o, &error))
        return refuse(error);
    m_out << "Created " << o.out << '\n';
    m_out.flush();
    return Ok;
}

int SubjectTool::runCheck(const QStringList& arguments)
{
    const Arguments a = parseArguments(arguments, {QStringLiteral("edition")}, {});
    if (!a.error.isEmpty())
        return usage(a.error);
    if (a.positional.isEmpty())
        return usage(QStringLiteral("check needs at least one file"));
    return check(a.positional, a.has(QStringLiteral("edition")) ? a.value(QStringLiteral("edition"))
                                                                : QString::fromLatin1(BuildInfo::ProgramCode))
               ? Ok
               : Refused;
}

int SubjectTool::runList(const QStringList& arguments)
{
    const Arguments a = parseArguments(arguments, {}, {});
    if (!a.error.isEmpty())
        return usage(a.error);
    if (a.positional.size() != 1)
        return usage(QStringLiteral("list needs exactly one file"));
    QString error;
    return list(a.positional.first(), &error) ? Ok : refuse(error);
}

int SubjectTool::runExport(const QStringList& arguments)
{
    const Arguments a = parseArguments(arguments, {QStringLiteral("to")}, {QStringLiteral("force")});
    if (!a.error.isEmpty())
        return usage(a.error);
    if (a.positional.size() != 1 || !a.has(QStringLiteral("to")))
        return usage(QStringLiteral("export needs one file and --to DIR"));
    QString error;
    if (!exportSubject(a.positional.first(), a.value(QStringLiteral("to")), a.has(QStringLiteral("force")),
                       &error))
        return refuse(error);
    return Ok;
}

int SubjectTool::runVirtual(const QStringList& arguments)
{
    const Arguments a = parseArguments(
        arguments, {QStringLiteral("table"), QStringLiteral("subjects"), QStringLiteral("edition")},
        {QStringLiteral("force")});
    if (!a.error.isEmpty())
        return usage(a.error);
    if (a.positional.size() != 1)
        return usage(QStringLiteral("virtual needs exactly one output file"));
    if (a.has(QStringLiteral("table")) != a.has(QStringLiteral("subjects")))
        return usage(QStringLiteral("--table and --subjects go together"));
    VirtualOptions o;
    o.out = a.positional.first();
    o.table = a.value(QStringLiteral("table"));
    o.subjectsDir = a.value(QStringLiteral("subjects"));
    o.edition = a.has(QStringLiteral("edition")) ? a.value(QStringLiteral("edition"))
                                                 : QString::fromLatin1(BuildInfo::ProgramCode);
    o.force = a.has(QStringLiteral("force"));
    QString error;
    if (!makeVirtual(o, &error))
        return refuse(error);
    m_out << "Created " << o.out << '\n';
    m_out.flush();
    return Ok;
}

std::optional<std::vector<SubjectTool::TableRow>> SubjectTool::readPhraseTable(const QString& path,
                                                                               QString* error)
{
    const auto lines = readTabTable(path, error);
    if (!lines)
        return std::nullopt;
    std::vector<TableRow> rows;
    for (const auto& [line, fields] : *lines) {
        const QString where = QStringLiteral("%1, line %2").arg(path).arg(line);
        if (fields.size() < 2 || fields.size() > 4) {
            *error = QStringLiteral("%1: expected 2 to 4 tab-separated fields (phrase, translation, second "
                                    "translation, sound file), found %2")
                         .arg(where)
                         .arg(fields.size());
            return std::nullopt;
        }
        TableRow row;
        row.line = line;
        row.phrase = fields.at(0);
        row.translation = fields.at(1);
        row.translation2 = fields.value(2);
        row.sound = fields.value(3);
        if (row.phrase.trimmed().isEmpty() || row.translation.trimmed().isEmpty()) {
            *error = QStringLiteral("%1: the phrase and its translation must not be empty").arg(where);
            return std::nullopt;
        }
        rows.push_back(row);
    }
    return rows;
}

QByteArray SubjectTool::formatPhraseTable(const std::vector<TableRow>& rows, const QString& comment)
{
    QString text;
    if (!comment.isEmpty())
        text += QStringLiteral("# ") + QString(comment).replace(QLatin1Char('\n'), QLatin1Char(' ')) +
                QLatin1Char('\n');
    text += QStringLiteral("# phrase\ttranslation\tsecond translation\tsound file\n");
    for (const TableRow& row : rows) {
        QString phrase = escapeField(row.phrase);
        if (phrase.startsWith(QLatin1Char('#')))
            phrase.prepend(QLatin1Char('\\'));
        text += phrase + QLatin1Char('\t') + escapeField(row.translation) + QLatin1Char('\t') +
                escapeField(row.translation2) + QLatin1Char('\t') + escapeField(row.sound) +
                QLatin1Char('\n');
    }
    return text.toUtf8();
}

std::optional<QByteArray> SubjectTool::speak(const QString& voice, const QString& text, QString* error)
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        *error = QStringLiteral("cannot make a temporary folder: %1").arg(dir.errorString());
        return std::nullopt;
    }
    const QString wav = dir.filePath(QStringLiteral("speech.wav"));
    QProcess espeak;
    // The text goes through standard input, so a phrase starting with "-" is not an option.
    espeak.start(QStringLiteral("espeak-ng"),
                 {QStringLiteral("-v"), voice, QStringLiteral("-w"), wav, QStringLiteral("--stdin")});
    if (!espeak.waitForStarted(10000)) {
        *error =
            QStringLiteral("espeak-ng could not be started (is it installed?): %1").arg(espeak.errorString());
        return std::nullopt;
    }
    espeak.write(text.toUtf8() + '\n');
    espeak.closeWriteChannel();
    if (!espeak.waitForFinished(60000) || espeak.exitStatus() != QProcess::NormalExit ||
        espeak.exitCode() != 0) {
        espeak.kill();
        *error = QStringLiteral("espeak-ng failed on \"%1\" with voice %2: %3")
                     .arg(text, voice, QString::fromLocal8Bit(espeak.readAllStandardError()).trimmed());
        return std::nullopt;
    }
    return readFile(wav, error);
}

bool SubjectTool::create(const CreateOptions& o, QString* error)
{
    const auto edition = editionOrError(o.edition, error);
    if (!edition)
        return false;
    const QString extension = QStringLiteral(".") + edition->LanguageCode;
    if (!o.out.endsWith(extension)) {
        *error =
            QStringLiteral("%1: a subject of edition %2 must end with %3, or the program will not list it")
                .arg(o.out, o.edition, extension);
        return false;
    }
    if (QFileInfo::exists(o.out) && !o.force) {
        *error = QStringLiteral("%1 already exists (use --force to replace it)").arg(o.out);
        return false;
    }
    const auto rows = readPhraseTable(o.table, error);
    if (!rows)
        return false;
    if (rows->empty()) {
        *error = QStringLiteral("%1 holds no phrase").arg(o.table);
        return false;
    }
    if (rows->size() > MaxPhrases) {
        *error = QStringLiteral(
                     "%1 holds %2 phrases; a subject holds at most %3 (a learner studies a subject whole)")
                     .arg(o.table)
                     .arg(rows->size())
                     .arg(MaxPhrases);
        return false;
    }
    const QString soundsDir = o.soundsDir.isEmpty() ? QFileInfo(o.table).absolutePath() : o.soundsDir;
    std::vector<Phrase> phrases;
    for (const TableRow& row : *rows) {
        const QString where = QStringLiteral("%1, line %2").arg(o.table).arg(row.line);
        if (hasStar(row.phrase, row.translation, row.translation2)) {
            *error = QStringLiteral("%1: a phrase text must not contain \"*\"").arg(where);
            return false;
        }
        Phrase p;
        p.pkPhraseNo = qint64(phrases.size()) + 1;
        p.tPhrase = row.phrase;
        p.tTranslation = row.translation;
        p.tTranslation2 = row.translation2;
        QString soundName;
        if (!row.sound.isEmpty()) {
            soundName = QDir(soundsDir).filePath(row.sound);
            const auto bytes = readFile(soundName, error);
            if (!bytes) {
                *error = where + QStringLiteral(": ") + *error;
                return false;
            }
            p.bsound = *bytes;
        } else if (!o.voice.isEmpty()) {
            soundName = QStringLiteral("espeak-ng -v ") + o.voice;
            const auto bytes = speak(o.voice, row.phrase, error);
            if (!bytes) {
                *error = where + QStringLiteral(": ") + *error;
                return false;
            }
            p.bsound = *bytes;
        } else {
            *error =
                QStringLiteral("%1: no sound (name a WAVE file in the fourth column, or use --speak VOICE)")
                    .arg(where);
            return false;
        }
        const WaveInfo wave = readWaveInfo(p.bsound);
        if (!wave.valid) {
            *error = QStringLiteral("%1: %2 is not a WAVE file: %3").arg(where, soundName, wave.error);
            return false;
        }
        phrases.push_back(p);
    }
    return InstalledSubject::create(o.out, o.edition, phrases, o.force, error);
}

bool SubjectTool::check(const QStringList& files, const QString& edition)
{
    bool allValid = true;
    for (const QString& file : files) {
        const QString verdict = checkSubjectFile(file, edition);
        allValid = allValid && verdict == QLatin1String("VALID");
        m_out << file << ": " << verdict << '\n';
    }
    m_out.flush();
    return allValid;
}

bool SubjectTool::list(const QString& file, QString* error)
{
    const auto code = InstalledSubject::programCode(file, error);
    if (!code)
        return false;
    const auto phrases = InstalledSubject::phrases(file, true, error);
    if (!phrases)
        return false;
    m_out << "# " << file << ": edition " << *code << ", " << phrases->size() << " phrases\n";
    m_out << "# number\tphrase\ttranslation\tsecond translation\tsound\n";
    for (const Phrase& p : *phrases) {
        const WaveInfo wave = readWaveInfo(p.bsound);
        const QString sound = p.bsound.isEmpty() ? QStringLiteral("no sound")
                              : wave.valid       ? seconds(wave.durationMs)
                                                 : QStringLiteral("not a WAVE file (%1)").arg(wave.error);
        m_out << p.pkPhraseNo << '\t' << escapeField(p.tPhrase) << '\t' << escapeField(p.tTranslation) << '\t'
              << escapeField(p.tTranslation2) << '\t' << sound << '\n';
    }
    m_out.flush();
    return true;
}

bool SubjectTool::exportSubject(const QString& file, const QString& folder, bool force, QString* error)
{
    const auto code = InstalledSubject::programCode(file, error);
    if (!code)
        return false;
    const auto phrases = InstalledSubject::phrases(file, true, error);
    if (!phrases)
        return false;
    const QString base = QFileInfo(file).completeBaseName();
    const QDir dir(folder);
    std::map<QString, QByteArray> outputs; // file name -> bytes
    std::vector<TableRow> rows;
    for (const Phrase& p : *phrases) {
        TableRow row;
        row.phrase = p.tPhrase;
        row.translation = p.tTranslation;
        row.translation2 = p.tTranslation2;
        if (!p.bsound.isEmpty()) {
            row.sound = QStringLiteral("%1_%2.wav").arg(base).arg(p.pkPhraseNo, 2, 10, QLatin1Char('0'));
            outputs[row.sound] = p.bsound;
        }
        rows.push_back(row);
    }
    const QString tableName = base + QStringLiteral(".tsv");
    outputs[tableName] = formatPhraseTable(
        rows, QStringLiteral("%1, edition %2: make it again with: parlanto-subject create %1 --edition %2 "
                             "--phrases %3 --sounds DIR")
                  .arg(QFileInfo(file).fileName(), *code, tableName));
    if (!force) {
        for (const auto& [name, bytes] : outputs) {
            if (dir.exists(name)) {
                *error =
                    QStringLiteral("%1 already exists (use --force to replace it)").arg(dir.filePath(name));
                return false;
            }
        }
    }
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot make the folder %1").arg(folder);
        return false;
    }
    for (const auto& [name, bytes] : outputs) {
        if (!writeFileAtomically(dir.filePath(name), bytes, error))
            return false;
    }
    m_out << "Exported " << phrases->size() << " phrases to " << dir.filePath(tableName) << '\n';
    m_out.flush();
    return true;
}

bool SubjectTool::makeVirtual(const VirtualOptions& o, QString* error)
{
    if (!editionOrError(o.edition, error))
        return false;
    if (QFileInfo::exists(o.out) && !o.force) {
        *error = QStringLiteral("%1 already exists (use --force to replace it)").arg(o.out);
        return false;
    }
    // The virtual subjects in order of first appearance, each with its phrases.
    std::vector<std::pair<QString, std::vector<VirtualPhrase>>> subjects;
    if (!o.table.isEmpty()) {
        const auto lines = readTabTable(o.table, error);
        if (!lines)
            return false;
        QHash<QString, QString> verdicts;
        for (const auto& [line, fields] : *lines) {
            const QString where = QStringLiteral("%1, line %2").arg(o.table).arg(line);
            bool isNumber = false;
            const qint64 number = fields.value(2).toLongLong(&isNumber);
            if (fields.size() != 3 || fields.at(0).isEmpty() || !isNumber) {
                *error =
                    QStringLiteral("%1: expected virtual subject, installed subject file and phrase number, "
                                   "separated by tabs")
                        .arg(where);
                return false;
            }
            const QString& fileName = fields.at(1);
            const QString path = QDir(o.subjectsDir).filePath(fileName);
            if (!verdicts.contains(fileName))
                verdicts.insert(fileName, checkSubjectFile(path, o.edition));
            if (verdicts.value(fileName) != QLatin1String("VALID")) {
                *error = QStringLiteral("%1: %2: %3").arg(where, path, verdicts.value(fileName));
                return false;
            }
            bool found = false;
            const auto phrase = InstalledSubject::phrase(path, number, false, &found, error);
            if (!phrase || !found) {
                if (phrase)
                    *error = QStringLiteral("%1: %2 has no phrase %3").arg(where, fileName).arg(number);
                return false;
            }
            if (hasStar(phrase->tPhrase, phrase->tTranslation, phrase->tTranslation2)) {
                *error =
                    QStringLiteral("%1: phrase %2 of %3 contains \"*\"").arg(where).arg(number).arg(fileName);
                return false;
            }
            VirtualPhrase v;
            v.tfilename = fileName;
            v.nPhraseNo = number;
            v.tPhrase = phrase->tPhrase;
            v.tTranslation = phrase->tTranslation;
            v.tTranslation2 = phrase->tTranslation2;
            const QString subjectName = fields.at(0); // clang 14 cannot capture a structured binding
            auto it = std::find_if(subjects.begin(), subjects.end(),
                                   [&](const auto& s) { return s.first == subjectName; });
            if (it == subjects.end())
                it = subjects.insert(subjects.end(), {subjectName, {}});
            it->second.push_back(v);
        }
    }
    // Written under a temporary name beside the target and renamed when complete.
    const QFileInfo target(o.out);
    const QString temp = target.absoluteDir().filePath(
        QStringLiteral(".parlanto-subject-%1.tmp")
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    auto fail = [&] {
        QFile::remove(temp);
        return false;
    };
    if (!VirtualSubjectFile::createEmpty(temp, error))
        return fail();
    for (const auto& [name, phrases] : subjects) {
        const auto parent = VirtualSubjectFile::addSubject(temp, name, error);
        if (!parent || !VirtualSubjectFile::addPhrases(temp, *parent, phrases, error))
            return fail();
    }
    if (o.force)
        QFile::remove(o.out);
    if (!QFile::rename(temp, o.out)) {
        *error = QStringLiteral("cannot create %1").arg(o.out);
        return fail();
    }
    return true;
}
