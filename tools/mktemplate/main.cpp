// mktemplate SOURCE_FOLDER OUTPUT_FILE
// Builds the template database "Parlanto.tpl" from the text sources in SOURCE_FOLDER.
#include "common/TemplateBuilder.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream err(stderr);
    const QStringList args = application.arguments();
    if (args.size() != 3) {
        err << "usage: mktemplate SOURCE_FOLDER OUTPUT_FILE\n";
        return 2;
    }
    TemplateSource source;
    QString error;
    if (!TemplateBuilder::readSources(args.at(1), &source, &error) ||
        !TemplateBuilder::build(args.at(2), source, &error)) {
        err << "mktemplate: " << error << "\n";
        return 1;
    }
    return 0;
}
