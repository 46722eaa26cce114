#include "CommandLine.h"

#include "BuildInfo.h"
#include "state/Edition.h"

#include <QCommandLineParser>
#include <QFileInfo>
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

void configure(QCommandLineParser& parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // Answered before the application exists (see asksForInformation), so they are plain options.
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Print this help and exit.")));
    parser.addOption(QCommandLineOption({QStringLiteral("v"), QStringLiteral("version")},
                                        QStringLiteral("Print the edition, version and build, and exit.")));
    parser.addPositionalArgument(
        QStringLiteral("file"),
        QStringLiteral("A subject file or virtual subject file of this edition to add to your subjects, or a\n"
                       "vocabulary to import (.kvtml, Anki's .apkg or text notes)."),
        QStringLiteral("[file]"));
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
        .arg(QString::fromLatin1(BuildInfo::BuildId), QString::fromLatin1(BuildInfo::Copyright));
}

QString helpText()
{
    QCommandLineParser parser;
    configure(parser);
    QString text = parser.helpText();
    // Qt names the executable by its path; the command is what people type.
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    text.replace(0, lineEnd, QStringLiteral("Usage: %1 [options] [file]").arg(commandName()));
    const Edition e = buildEdition();
    return text + QStringLiteral("\n%1, the %2 course. A file given on the command line (or opened\n"
                                 "from a file manager) is checked and copied into your subjects; a\n"
                                 "vocabulary of KWordQuiz, Parley or Anki is made into subjects.\n"
                                 "See the manual page %3(1).\n")
                      .arg(e.EditionTitle, e.StudiedLanguage, commandName());
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
