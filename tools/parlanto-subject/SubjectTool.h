#pragma once

#include "subjects/SubjectFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QTextStream;

// parlanto-subject: makes, checks, lists and exports subject files from the command line.
// Teachers use it to write their own subjects; the build uses it to make the shipped course.
//
// The phrase table is UTF-8 text, one phrase per line, fields separated by tabs:
//   phrase <TAB> translation [<TAB> second translation [<TAB> sound file name]]
// Blank lines and lines starting with "#" are skipped. A backslash escapes the next
// character as in the template's tables: "\t" tab, "\n" line break, "\\" backslash, and any
// other character stands for itself (so "\#" starts a phrase with "#").
class SubjectTool
{
public:
    // Exit codes of the command line.
    enum Exit
    {
        Ok = 0,
        Refused = 1,
        Usage = 2
    };

    SubjectTool(QTextStream& out, QTextStream& err);
    // Printing to a terminal: check adds a sentence a person understands to each verdict.
    void setTerminal(bool terminal) { m_terminal = terminal; }

    struct Command;
    struct Arguments;

    // "parlanto-subject 1.0.0 (build ...), default edition ..." and the copyright line.
    static QString versionText();

    // arguments: the command and its arguments (without the program name).
    int run(const QStringList& arguments);

    struct TableRow
    {
        int line = 0; // line number in the table file, for messages
        QString phrase;
        QString translation;
        QString translation2;
        QString sound; // sound file name, relative to the sounds folder
    };
    static std::optional<std::vector<TableRow>> readPhraseTable(const QString& path, QString* error);
    static QByteArray formatPhraseTable(const std::vector<TableRow>& rows, const QString& comment);

    struct CreateOptions
    {
        QString out;
        QString edition;
        QString table;
        QString soundsDir; // sound file names are relative to it; default: the table's folder
        QString voice;     // espeak-ng voice for phrases without a sound file
        bool force = false;
    };
    // Writes an installed subject file, whole or not at all.
    bool create(const CreateOptions& options, QString* error);

    // One line per file: the file name, ": " and the program's verdict (a virtual subject
    // file is named as such); with explain, an indented sentence follows each line.
    // True when all are VALID.
    bool check(const QStringList& files, const QString& edition, bool explain = false);

    bool list(const QString& file, QString* error);

    // Writes <name>.tsv and <name>_NN.wav into the folder; create --sounds folder reads them back.
    bool exportSubject(const QString& file, const QString& folder, bool force, QString* error);

    struct VirtualOptions
    {
        QString out;
        QString table;       // virtual subject <TAB> installed subject file <TAB> phrase number
        QString subjectsDir; // where the installed subjects named by the table are
        QString edition;
        bool force = false;
    };
    // Writes a virtual subject file (empty without a table: the "custom.tpl" layout).
    bool makeVirtual(const VirtualOptions& options, QString* error);

    // The sound of a text spoken by espeak-ng with the given voice: a complete WAVE file.
    static std::optional<QByteArray> speak(const QString& voice, const QString& text, QString* error);

private:
    int runCreate(const Arguments& arguments);
    int runCheck(const Arguments& arguments);
    int runList(const Arguments& arguments);
    int runExport(const Arguments& arguments);
    int runVirtual(const Arguments& arguments);
    int runImport(const Arguments& arguments);
    int refuse(const QString& message);
    int usage(const QString& message = QString(), const Command* command = nullptr);
    bool listVirtual(const QString& file, const std::vector<VirtualSubject>& subjects, QString* error);
    // The virtual subjects when the file is a virtual subject file (not an installed subject).
    static std::optional<std::vector<VirtualSubject>> readVirtualSubjects(const QString& file);
    static QString explanation(const QString& verdict, const QString& edition, int virtualSubjectCount);

    QTextStream& m_out;
    QTextStream& m_err;
    bool m_terminal = false;
};
