// parlanto-subject: the subject authoring tool (see SubjectTool.h and the README).
#include "SubjectTool.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    SubjectTool tool(out, err);
    return tool.run(QCoreApplication::arguments().mid(1));
}
