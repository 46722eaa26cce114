#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Builds the template database "Parlanto.tpl" from its text sources: the interface
// captions, the system messages, the side-menu links and the study tips, plus the empty
// users tables that the users database starts from. The build runs it through the
// mktemplate tool; tests use it to make templates of their own.
struct TemplateSource
{
    struct Caption
    {
        QString english;
        QString spanish;
    };
    // A system message or a side-menu entry; bL1/bL2 are the content-level columns.
    struct LinkRow
    {
        QString english;
        QString spanish;
        QString link;
        bool bL1 = true;
        bool bL2 = true;
    };

    QList<Caption> captions; // caption 1 first
    QList<LinkRow> systemMessages;
    QList<LinkRow> menu;
    // Per program code, its tips in order. std::nullopt stores a Null cell.
    QList<QPair<QString, QList<std::optional<QString>>>> tips;
};

namespace TemplateBuilder {

// Reads captions.tsv, messages.tsv, menu.tsv and tips.tsv of a folder (see data/template/README.md).
bool readSources(const QString& folder, TemplateSource* source, QString* error);
// Writes the database; the target is replaced only when the whole file was written.
bool build(const QString& path, const TemplateSource& source, QString* error);

// "a\tb" fields with the escapes \t, \n, \r and \\ decoded.
QStringList splitTsvLine(const QString& line);

} // namespace TemplateBuilder
