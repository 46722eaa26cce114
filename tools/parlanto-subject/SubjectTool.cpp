#include "SubjectTool.h"

#include "BuildInfo.h"
#include "common/TemplateBuilder.h"
#include "platform/Files.h"
#include "platform/Speech.h"
#include "platform/WaveFile.h"
#include "state/Edition.h"
#include "subjects/SubjectFile.h"
#include "import/VocabularyImport.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QStringDecoder>
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
    "  parlanto-subject check FILE... [--edition CODE] [--explain]\n"
    "  parlanto-subject list FILE\n"
    "  parlanto-subject export FILE --to DIR [--force]\n"
    "  parlanto-subject virtual OUT [--table TABLE.tsv --subjects DIR] [--edition CODE] [--force]\n"
    "  parlanto-subject import FILE [--edition CODE] [--out DIR] [--title-prefix TEXT]\n"
    "                   [--columns phrase,translation] [--force]\n"
    "  parlanto-subject --version\n"
    "  parlanto-subject COMMAND --help\n"
    "\n"
    "A phrase table has one phrase per line, fields separated by tabs: phrase, translation,\n"
    "second translation (may be empty), sound file name (optional; relative to --sounds DIR,\n"
    "by default the table's folder). Phrases without a sound file are spoken by espeak-ng\n"
    "with --speak VOICE (for example --speak it). Lines starting with # are comments.\n"
    "import reads a KVTML 2 file (.kvtml), an Anki package (.apkg) or Anki's notes as text\n"
    "and writes subjects of at most ten phrases into DIR (default: the current folder).\n"
    "A virtual table has one phrase per line: virtual subject name, installed subject file,\n"
    "phrase number. Without --table, virtual writes an empty file (the custom.tpl layout).\n"
    "Options may also be written with one dash (-edition, -e); \"--\" ends the options.\n";

} // namespace

// One command of the tool: its usage line, what it does and the options it knows.
struct SubjectTool::Command
{
    QString name;
    QString synopsis;
    QString description;
    QList<QCommandLineOption> options;
};

namespace {
using Command = SubjectTool::Command;
using Arguments = SubjectTool::Arguments;

QCommandLineOption valueOption(const QStringList& names, const QString& help, const QString& value)
{
    return QCommandLineOption(names, help, value);
}

QCommandLineOption helpOption()
{
    return QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                              QStringLiteral("Show this help."));
}

QCommandLineOption forceOption()
{
    return QCommandLineOption({QStringLiteral("f"), QStringLiteral("force")},
                              QStringLiteral("Replace existing files."));
}

QCommandLineOption editionOption()
{
    return valueOption({QStringLiteral("e"), QStringLiteral("edition")},
                       QStringLiteral("The edition's program code (default: %1).")
                           .arg(QString::fromLatin1(BuildInfo::ProgramCode)),
                       QStringLiteral("CODE"));
}

const std::vector<Command>& commands()
{
    static const std::vector<Command> all = {
        {QStringLiteral("create"),
         QStringLiteral(
             "create OUT --edition CODE --phrases TABLE.tsv [--sounds DIR] [--speak VOICE] [--force]"),
         QStringLiteral(
             "Makes the installed subject file OUT from a phrase table (UTF-8, one phrase a line:\n"
             "phrase, translation, second translation, sound file, separated by tabs)."),
         {editionOption(),
          valueOption({QStringLiteral("p"), QStringLiteral("phrases")}, QStringLiteral("The phrase table."),
                      QStringLiteral("TABLE")),
          valueOption(
              {QStringLiteral("s"), QStringLiteral("sounds")},
              QStringLiteral("The folder the sound file names are relative to (default: the table's)."),
              QStringLiteral("DIR")),
          valueOption(
              {QStringLiteral("speak")},
              QStringLiteral("The espeak-ng voice for phrases without a sound file (it, es, fr, de, en)."),
              QStringLiteral("VOICE")),
          forceOption()}},
        {QStringLiteral("check"),
         QStringLiteral("check FILE... [--edition CODE] [--explain]"),
         QStringLiteral("Prints the program's verdict on each subject file: \"FILE: VALID\", \"FILE: "
                        "WRONG_LANGUAGE*CODE\"\nor what is wrong. On a terminal, or with --explain, a "
                        "sentence follows each verdict.\nExits with 0 when every file is VALID."),
         {editionOption(),
          QCommandLineOption(
              {QStringLiteral("explain")},
              QStringLiteral("Add a sentence to each verdict even when not printing to a terminal."))}},
        {QStringLiteral("list"),
         QStringLiteral("list FILE"),
         QStringLiteral(
             "Lists the phrases of a subject file, or the virtual subjects of a virtual subject file."),
         {}},
        {QStringLiteral("export"),
         QStringLiteral("export FILE --to DIR [--force]"),
         QStringLiteral(
             "Writes the phrase table and the sounds of a subject file into DIR, ready for create."),
         {valueOption({QStringLiteral("t"), QStringLiteral("to")}, QStringLiteral("The folder to write to."),
                      QStringLiteral("DIR")),
          forceOption()}},
        {QStringLiteral("virtual"),
         QStringLiteral("virtual OUT [--table TABLE.tsv --subjects DIR] [--edition CODE] [--force]"),
         QStringLiteral(
             "Makes a virtual subject file from a table (virtual subject, installed subject file,\n"
             "phrase number, separated by tabs); without --table an empty one."),
         {valueOption({QStringLiteral("t"), QStringLiteral("table")}, QStringLiteral("The virtual table."),
                      QStringLiteral("TABLE")),
          valueOption({QStringLiteral("s"), QStringLiteral("subjects")},
                      QStringLiteral("The folder of the installed subjects the table names."),
                      QStringLiteral("DIR")),
          editionOption(), forceOption()}},
        {QStringLiteral("import"),
         QStringLiteral("import FILE [--edition CODE] [--out DIR] [--title-prefix TEXT] [--columns "
                        "phrase,translation] [--force]"),
         QStringLiteral(
             "Makes installed subjects of at most ten phrases from a KVTML 2 file (KWordQuiz, Parley),\n"
             "an Anki package (.apkg, the layout older Anki versions read) or Anki's notes as text.\n"
             "The file's language names or locales say which column is the studied language and\n"
             "which the learner's; --columns says it when the file does not (phrase, translation,\n"
             "translation2 or skip for each column in order). Sounds the file brings are converted;\n"
             "the other phrases are spoken by espeak-ng. The subjects appear together or not at all."),
         {editionOption(),
          valueOption({QStringLiteral("o"), QStringLiteral("out")},
                      QStringLiteral("The folder to write the subjects to (default: the current folder)."),
                      QStringLiteral("DIR")),
          valueOption({QStringLiteral("title-prefix")}, QStringLiteral("Put before every subject's title."),
                      QStringLiteral("TEXT")),
          valueOption({QStringLiteral("columns")},
                      QStringLiteral("What each column is: phrase, translation, translation2 or skip."),
                      QStringLiteral("LIST")),
          forceOption()}},
    };
    return all;
}

const Command* findCommand(const QString& name)
{
    for (const Command& c : commands()) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

} // namespace

// Options may come before, between or after the positional arguments; "--" ends them.
// With long-option parsing "-e" is the short option and "-edition" the long one, so a
// single dash never silently turns into a file name.
struct SubjectTool::Arguments
{
    QStringList positional;
    QHash<QString, QString> values;
    QSet<QString> flags;
    QString error;
    bool help = false;

    QString value(const QString& name) const { return values.value(name); }
    bool has(const QString& name) const { return values.contains(name) || flags.contains(name); }
};

namespace {

Arguments parseArguments(const Command& command, const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = helpOption();
    parser.addOption(help);
    parser.addOptions(command.options);
    Arguments parsed;
    if (!parser.parse(QStringList{QStringLiteral("parlanto-subject")} + arguments)) {
        parsed.error = parser.errorText();
        return parsed;
    }
    parsed.help = parser.isSet(help);
    parsed.positional = parser.positionalArguments();
    for (const QCommandLineOption& option : command.options) {
        const QString name = option.names().constLast();
        if (!parser.isSet(name))
            continue;
        if (option.valueName().isEmpty())
            parsed.flags << name;
        else
            parsed.values.insert(name, parser.value(name));
    }
    return parsed;
}

QString commandHelp(const Command& command)
{
    QCommandLineParser parser;
    parser.addOption(helpOption());
    parser.addOptions(command.options);
    const QString text = parser.helpText();
    const qsizetype options = text.indexOf(QLatin1String("Options:"));
    return QStringLiteral("Usage: parlanto-subject ") + command.synopsis + QStringLiteral("\n\n") +
           command.description + QStringLiteral("\n\n") + (options >= 0 ? text.mid(options) : QString());
}

QString plural(qsizetype count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
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
        else if (c == QLatin1Char('\r')) // a bare one at a line's end would read as CRLF
            out += QLatin1String("\\r");
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
    QByteArray bytes = f.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    std::vector<std::pair<int, QStringList>> lines;
    const QList<QByteArray> raw = bytes.split('\n');
    for (int i = 0; i < raw.size(); ++i) {
        // Each line on its own, so that a table saved in another encoding is refused at the
        // first line that is not UTF-8 instead of being stored with replacement characters.
        // The file's byte order mark is gone already: one at the start of a later line is the
        // text's own character, kept as it is.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        QString line = decoder.decode(raw.at(i));
        if (decoder.hasError()) {
            *error = QStringLiteral("%1, line %2: the text is not UTF-8 (save the table as UTF-8 text)")
                         .arg(path)
                         .arg(i + 1);
            return std::nullopt;
        }
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

QString SubjectTool::versionText()
{
    const Edition edition = buildEdition();
    return QStringLiteral("parlanto-subject %1.%2.%3 (build %4), default edition %5 (%6)\n%7\n")
        .arg(BuildInfo::VersionMajor)
        .arg(BuildInfo::VersionMinor)
        .arg(BuildInfo::VersionRevision)
        .arg(QString::fromLatin1(BuildInfo::BuildId), edition.ProgramCode, edition.EditionTitle,
             QString::fromLatin1(BuildInfo::Copyright));
}

int SubjectTool::run(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return usage();
    const QString first = arguments.first();
    if (first == QLatin1String("--version") || first == QLatin1String("-version") ||
        first == QLatin1String("-V")) {
        m_out << versionText();
        m_out.flush();
        return Ok;
    }
    if (first == QLatin1String("help") || first == QLatin1String("--help") ||
        first == QLatin1String("-help") || first == QLatin1String("-h")) {
        const Command* command = arguments.size() > 1 ? findCommand(arguments.at(1)) : nullptr;
        if (arguments.size() > 1 && !command)
            return usage(QStringLiteral("unknown command \"%1\"").arg(arguments.at(1)));
        m_out << (command ? commandHelp(*command) : QString::fromLatin1(UsageText));
        m_out.flush();
        return Ok;
    }
    const Command* command = findCommand(first);
    if (!command) {
        return usage(first.startsWith(QLatin1Char('-'))
                         ? QStringLiteral("unknown option \"%1\" (options come after the command)").arg(first)
                         : QStringLiteral("unknown command \"%1\"").arg(first));
    }
    const Arguments a = parseArguments(*command, arguments.mid(1));
    if (!a.error.isEmpty())
        return usage(a.error, command);
    if (a.help) {
        m_out << commandHelp(*command);
        m_out.flush();
        return Ok;
    }
    if (command->name == QLatin1String("create"))
        return runCreate(a);
    if (command->name == QLatin1String("check"))
        return runCheck(a);
    if (command->name == QLatin1String("list"))
        return runList(a);
    if (command->name == QLatin1String("export"))
        return runExport(a);
    if (command->name == QLatin1String("import"))
        return runImport(a);
    return runVirtual(a);
}

int SubjectTool::refuse(const QString& message)
{
    m_err << "parlanto-subject: " << message << '\n';
    m_err.flush();
    return Refused;
}

int SubjectTool::usage(const QString& message, const Command* command)
{
    if (!message.isEmpty())
        m_err << "parlanto-subject: " << message << "\n\n";
    if (command)
        m_err << "Usage: parlanto-subject " << command->synopsis << "\n"
              << "More: parlanto-subject " << command->name << " --help\n";
    else
        m_err << UsageText;
    m_err.flush();
    return Usage;
}

int SubjectTool::runCreate(const Arguments& a)
{
    const Command* command = findCommand(QStringLiteral("create"));
    if (a.positional.size() != 1)
        return usage(QStringLiteral("create needs exactly one output file"), command);
    if (!a.has(QStringLiteral("edition")) || !a.has(QStringLiteral("phrases")))
        return usage(QStringLiteral("create needs --edition CODE and --phrases TABLE"), command);
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

int SubjectTool::runCheck(const Arguments& a)
{
    if (a.positional.isEmpty())
        return usage(QStringLiteral("check needs at least one file"), findCommand(QStringLiteral("check")));
    const QString edition = a.has(QStringLiteral("edition")) ? a.value(QStringLiteral("edition"))
                                                             : QString::fromLatin1(BuildInfo::ProgramCode);
    QString error;
    if (!editionOrError(edition, &error))
        return refuse(error);
    return check(a.positional, edition, m_terminal || a.has(QStringLiteral("explain"))) ? Ok : Refused;
}

int SubjectTool::runList(const Arguments& a)
{
    if (a.positional.size() != 1)
        return usage(QStringLiteral("list needs exactly one file"), findCommand(QStringLiteral("list")));
    QString error;
    return list(a.positional.first(), &error) ? Ok : refuse(error);
}

int SubjectTool::runExport(const Arguments& a)
{
    if (a.positional.size() != 1 || !a.has(QStringLiteral("to")))
        return usage(QStringLiteral("export needs one file and --to DIR"),
                     findCommand(QStringLiteral("export")));
    QString error;
    if (!exportSubject(a.positional.first(), a.value(QStringLiteral("to")), a.has(QStringLiteral("force")),
                       &error))
        return refuse(error);
    return Ok;
}

int SubjectTool::runImport(const Arguments& a)
{
    if (a.positional.size() != 1)
        return usage(QStringLiteral("import needs exactly one file"), findCommand(QStringLiteral("import")));
    const QString code = a.has(QStringLiteral("edition")) ? a.value(QStringLiteral("edition"))
                                                          : QString::fromLatin1(BuildInfo::ProgramCode);
    QString error;
    const auto edition = editionOrError(code, &error);
    if (!edition)
        return refuse(error);
    VocabularyImport::Options o = VocabularyImport::optionsFor(
        edition->ProgramCode, edition->LanguageCode, edition->StudiedLanguage, edition->InterfaceLanguage);
    o.outFolder = a.has(QStringLiteral("out")) ? a.value(QStringLiteral("out")) : QStringLiteral(".");
    o.titlePrefix = a.value(QStringLiteral("title-prefix"));
    if (a.has(QStringLiteral("columns")))
        o.columns = a.value(QStringLiteral("columns")).split(QLatin1Char(','));
    const bool force = a.has(QStringLiteral("force"));
    bool existing = false;
    o.replaceExisting = [force, &existing](const QStringList&) {
        existing = true;
        return force;
    };
    const auto result = VocabularyImport::run(a.positional.first(), o, &error);
    if (!result)
        return refuse(existing && !force ? error + QStringLiteral(" (use --force to replace)") : error);
    m_out << result->summary() << '\n';
    for (const QString& name : result->subjects)
        m_out << "Created " << QDir(o.outFolder).filePath(name) << '\n';
    m_out.flush();
    return Ok;
}

int SubjectTool::runVirtual(const Arguments& a)
{
    const Command* command = findCommand(QStringLiteral("virtual"));
    if (a.positional.size() != 1)
        return usage(QStringLiteral("virtual needs exactly one output file"), command);
    if (a.has(QStringLiteral("table")) != a.has(QStringLiteral("subjects")))
        return usage(QStringLiteral("--table and --subjects go together"), command);
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
    return Speech::speak(voice, text, error);
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
        Phrase p;
        p.phraseNo = qint64(phrases.size()) + 1;
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

bool SubjectTool::check(const QStringList& files, const QString& edition, bool explain)
{
    bool allValid = true;
    for (const QString& file : files) {
        const auto virtualSubjects = readVirtualSubjects(file);
        const QString verdict = virtualSubjects
                                    ? QStringLiteral("a virtual subject file, not an installed subject")
                                    : checkSubjectFileAndTexts(file, edition);
        allValid = allValid && verdict == QLatin1String("VALID");
        m_out << file << ": " << verdict << '\n';
        if (explain)
            m_out << "  "
                  << explanation(verdict, edition, virtualSubjects ? int(virtualSubjects->size()) : -1)
                  << '\n';
    }
    m_out.flush();
    return allValid;
}

std::optional<std::vector<VirtualSubject>> SubjectTool::readVirtualSubjects(const QString& file)
{
    // An installed subject has tblProperties; a virtual subject file has tblParents.
    QString ignored;
    if (InstalledSubject::programCode(file, &ignored))
        return std::nullopt;
    return VirtualSubjectFile::subjects(file, &ignored);
}

QString SubjectTool::explanation(const QString& verdict, const QString& edition, int virtualSubjectCount)
{
    const auto title = [](const QString& code) {
        const auto e = findEdition(code);
        return e ? QStringLiteral("%1 (%2)").arg(e->EditionTitle, code)
                 : QStringLiteral("an unknown edition (%1)").arg(code);
    };
    if (virtualSubjectCount >= 0)
        return QStringLiteral(
                   "This is a virtual subject file holding %1; it has no edition of its own, and its "
                   "phrases are checked against their installed subjects when they are studied.")
            .arg(plural(virtualSubjectCount, "virtual subject", "virtual subjects"));
    if (verdict == QLatin1String("VALID"))
        return QStringLiteral("This subject belongs to %1: the program lists it and lets learners study it.")
            .arg(title(edition));
    if (verdict.startsWith(QLatin1String("WRONG_LANGUAGE*")))
        return QStringLiteral(
                   "This subject belongs to %1, not to %2: the program lists it but refuses it for "
                   "study.")
            .arg(title(verdict.section(QLatin1Char('*'), 1)), title(edition));
    return QStringLiteral(
        "This is not a subject file the program can read (damaged, or another kind of file); "
        "the program lists it but refuses it for study.");
}

bool SubjectTool::list(const QString& file, QString* error)
{
    if (const auto subjects = readVirtualSubjects(file))
        return listVirtual(file, *subjects, error);
    const auto code = InstalledSubject::programCode(file, error);
    if (!code)
        return false;
    const auto phrases = InstalledSubject::phrases(file, true, error);
    if (!phrases)
        return false;
    m_out << "# " << file << ": edition " << *code << ", " << plural(phrases->size(), "phrase", "phrases")
          << '\n';
    m_out << "# number\tphrase\ttranslation\tsecond translation\tsound\n";
    for (const Phrase& p : *phrases) {
        const WaveInfo wave = readWaveInfo(p.bsound);
        const QString sound = p.bsound.isEmpty() ? QStringLiteral("no sound")
                              : wave.valid       ? seconds(wave.durationMs)
                                                 : QStringLiteral("not a WAVE file (%1)").arg(wave.error);
        m_out << p.phraseNo << '\t' << escapeField(p.tPhrase) << '\t' << escapeField(p.tTranslation) << '\t'
              << escapeField(p.tTranslation2) << '\t' << sound << '\n';
    }
    m_out.flush();
    return true;
}

bool SubjectTool::listVirtual(const QString& file, const std::vector<VirtualSubject>& subjects,
                              QString* error)
{
    m_out << "# " << file << ": virtual subject file, "
          << plural(subjects.size(), "virtual subject", "virtual subjects") << '\n';
    m_out << "# virtual subject\tinstalled subject file\tphrase number\tphrase\ttranslation\n";
    for (const VirtualSubject& subject : subjects) {
        const auto phrases = VirtualSubjectFile::phrases(file, subject.nParent, error);
        if (!phrases)
            return false;
        for (const VirtualPhrase& p : *phrases)
            m_out << escapeField(subject.name) << '\t' << escapeField(p.tfilename) << '\t' << p.phraseNo
                  << '\t' << escapeField(p.tPhrase) << '\t' << escapeField(p.tTranslation) << '\n';
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
            row.sound = QStringLiteral("%1_%2.wav").arg(base).arg(p.phraseNo, 2, 10, QLatin1Char('0'));
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
    m_out << "Exported " << plural(phrases->size(), "phrase", "phrases") << " to " << dir.filePath(tableName)
          << '\n';
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
            VirtualPhrase v;
            v.tfilename = fileName;
            v.phraseNo = number;
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
