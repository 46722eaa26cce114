#pragma once

#include <QString>
#include <QStringList>

// The program's command line: parlanto [--help] [--version] [FILE]. Qt's own options
// (-platform, -style...) are taken by the application object before these are parsed.
namespace CommandLine {

// The command's name: "parlanto", or "parlanto-<code>" for an edition installed beside it.
QString commandName();
// "<edition title> (<code>) <version>, build <build>" and the copyright line.
QString versionText();
QString helpText();

// True when the arguments ask only for information (--help, --version): answered
// without opening a window, so it works without a display.
bool asksForInformation(int argc, char* argv[]);
// Prints the help or the version to standard output; returns the exit code.
int printInformation(const QStringList& arguments);

struct Parsed
{
    bool ok = false;
    QString error; // one line
    QString file;  // a subject file or virtual subject file to add, or ""
};
// arguments: the application's arguments, the program's name first.
Parsed parse(const QStringList& arguments);

} // namespace CommandLine
