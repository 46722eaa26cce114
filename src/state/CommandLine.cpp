#include "CommandLine.h"

#include "BuildInfo.h"
#include "state/Edition.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

#include <cstdio>
#include <cstring>

namespace {

const char* const HelpNames[] = {"-h", "--help", "-help", "-?", "--help-all"};
const char* const VersionNames[] = {"-v", "--version", "-version"};

bool isOneOf(const char* argument, const auto& names)
{
    for (const char* name : names) {
        if (std::strcmp(argument, name) == 0)
            return true;
    }
    return false;
}

// The help's texts: English, and Spanish for the Spanish-interface editions.
struct HelpTexts
{
    const char* help;
    const char* version;
    const char* fileName;
    const char* file;
    const char* usage;
    const char* options;
    const char* arguments;
    const char* about;
};

const HelpTexts& helpTexts(const QString& language)
{
    static const HelpTexts english = {
        "Print this help and exit.",
        "Print the edition, version and build, and exit.",
        "file",
        "A subject file or virtual subject file of this edition to add to your subjects, or a\n"
        "vocabulary to import (.kvtml, Anki's .apkg or text notes).",
        "Usage: %1 [options] [file]",
        "Options:",
        "Arguments:",
        "%1, the %2 course. A file given on the command line (or opened\n"
        "from a file manager) is checked and copied into your subjects; a\n"
        "vocabulary of KWordQuiz, Parley or Anki is made into subjects.\n"
        "See the manual page %3(1).\n",
    };
    static const HelpTexts spanish = {
        "Muestra esta ayuda y termina.",
        "Muestra la edición, la versión y la compilación, y termina.",
        "archivo",
        "Un archivo de tema o de tema virtual de esta edición para añadirlo a sus temas, o un\n"
        "vocabulario que importar (.kvtml, .apkg de Anki o notas de texto).",
        "Uso: %1 [opciones] [archivo]",
        "Opciones:",
        "Argumentos:",
        "%1, el curso de %2. Un archivo dado en la línea de órdenes (o abierto\n"
        "desde un gestor de archivos) se comprueba y se copia entre sus temas; un\n"
        "vocabulario de KWordQuiz, Parley o Anki se convierte en temas.\n"
        "Consulte la página de manual %3(1).\n",
    };
    return language == QLatin1String("Spanish") ? spanish : english;
}

void configure(QCommandLineParser& parser, const HelpTexts& t = helpTexts(QString()))
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // Answered before the application exists (see asksForInformation), so they are plain options.
    parser.addOption(
        QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QString::fromUtf8(t.help)));
    parser.addOption(
        QCommandLineOption({QStringLiteral("v"), QStringLiteral("version")}, QString::fromUtf8(t.version)));
    parser.addPositionalArgument(QString::fromUtf8(t.fileName), QString::fromUtf8(t.file),
                                 QStringLiteral("[") + QString::fromUtf8(t.fileName) + QStringLiteral("]"));
}

} // namespace

namespace CommandLine {

QString commandName()
{
    return QString::fromLatin1(BuildInfo::CommandName);
}

QString versionText()
{
    const Edition e = buildEdition();
    return QStringLiteral("%1 (%2) %3.%4.%5, build %6\n%7\n")
        .arg(e.EditionTitle, e.ProgramCode)
        .arg(BuildInfo::VersionMajor)
        .arg(BuildInfo::VersionMinor)
        .arg(BuildInfo::VersionRevision)
        .arg(QString::fromLatin1(BuildInfo::BuildId), copyrightLine(e.InterfaceLanguage));
}

QString helpText(const QString& language)
{
    const HelpTexts& t = helpTexts(language);
    QCommandLineParser parser;
    configure(parser, t);
    QString text = parser.helpText();
    // Qt names the executable by its path; the command is what people type.
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    text.replace(0, lineEnd, QString::fromUtf8(t.usage).arg(commandName()));
    // Qt's own headings are English.
    text.replace(QStringLiteral("\nOptions:\n"),
                 QLatin1Char('\n') + QString::fromUtf8(t.options) + QLatin1Char('\n'));
    text.replace(QStringLiteral("\nArguments:\n"),
                 QLatin1Char('\n') + QString::fromUtf8(t.arguments) + QLatin1Char('\n'));
    const Edition e = buildEdition();
    QString studied = e.StudiedLanguage;
    if (language == QLatin1String("Spanish")) {
        static const QHash<QString, QString> inSpanish = {
            {QStringLiteral("Italian"), QStringLiteral("italiano")},
            {QStringLiteral("English"), QStringLiteral("inglés")},
            {QStringLiteral("Spanish"), QStringLiteral("español")},
            {QStringLiteral("French"), QStringLiteral("francés")},
            {QStringLiteral("German"), QStringLiteral("alemán")},
            {QStringLiteral("Portuguese"), QStringLiteral("portugués")},
        };
        studied = inSpanish.value(studied, studied);
    }
    return text + QLatin1Char('\n') + QString::fromUtf8(t.about).arg(e.EditionTitle, studied, commandName());
}

QString helpText()
{
    return helpText(buildEdition().InterfaceLanguage);
}

QString copyrightLine(const QString& language)
{
    // The default line is said in the learner's language; a line set at build time stays.
    QString line = QString::fromUtf8(BuildInfo::Copyright);
    const QString makers = QStringLiteral("The Parlanto developers");
    if (language == QLatin1String("Spanish") && line.endsWith(makers))
        line.replace(line.size() - makers.size(), makers.size(),
                     QStringLiteral("Los desarrolladores de Parlanto"));
    return line;
}

bool asksForInformation(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        if (isOneOf(argv[i], HelpNames) || isOneOf(argv[i], VersionNames))
            return true;
    }
    return false;
}

int printInformation(const QStringList& arguments)
{
    bool version = false;
    for (const QString& a : arguments.mid(1)) {
        if (a == QLatin1String("--"))
            break;
        if (isOneOf(a.toLocal8Bit().constData(), HelpNames)) {
            std::fputs(helpText().toLocal8Bit().constData(), stdout);
            return 0;
        }
        version = version || isOneOf(a.toLocal8Bit().constData(), VersionNames);
    }
    if (version)
        std::fputs(versionText().toLocal8Bit().constData(), stdout);
    return 0;
}

Parsed parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    configure(parser);
    Parsed parsed;
    if (!parser.parse(arguments)) {
        parsed.error = parser.errorText();
        return parsed;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        parsed.error = QStringLiteral("one file at a time, please (%1 were given)").arg(files.size());
        return parsed;
    }
    if (!files.isEmpty()) {
        // File managers may hand over a file:// address instead of a path.
        const QUrl url(files.first());
        parsed.file = url.isLocalFile() ? url.toLocalFile() : files.first();
        parsed.file = QFileInfo(parsed.file).absoluteFilePath();
    }
    parsed.ok = true;
    return parsed;
}

} // namespace CommandLine
