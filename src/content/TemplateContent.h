#pragma once

#include "state/Captions.h"

#include <QList>
#include <QString>
#include <QStringList>

// What the main window reads from the template database at start-up besides the captions:
// the system messages of the message panel, the side-menu links and the study tips. Each
// loader opens the template, reads one query to its end and closes it again; rows whose
// content-level column ("bL" + FullContentLevel) is not set are left out.
namespace TemplateContent {

struct LinkedText
{
    QString text;
    QString link; // relative to the web site; "" = none
};

// "bL2" for the full content level.
QString levelColumn();

// Loads the caption table of the learner's language (loadCaptions).
bool loadCaptions(const QString& templatePath, const QString& language, Captions* captions, QString* error);

// The system messages, in stored order. The loading log gets caption 23 + " MSG #00" + i
// before, and caption 8 after, each message.
bool loadSystemMessages(const QString& templatePath, const QString& language, const Captions& captions,
                        QList<LinkedText>* messages, QString* error);

// The side-menu entries; the loading log gets caption 8 after each one.
bool loadMenuLinks(const QString& templatePath, const QString& language, const Captions& captions,
                   QList<LinkedText>* entries, QString* error);

// The tips of one edition's column. A Null tip is an error: the tips before it stay.
// tipCount is the number of tips loaded + 1 (the rotation shows tips 1..tipCount-1).
bool loadTips(const QString& templatePath, const QString& programCode, QStringList* tips, int* tipCount,
              QString* error);

} // namespace TemplateContent
