// parlanto-subject: the subject authoring tool (see SubjectTool.h and the README).
#include "SubjectTool.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    SubjectTool tool(out, err);
    tool.setTerminal(isatty(STDOUT_FILENO) == 1);
    return tool.run(QCoreApplication::arguments().mid(1));
}
