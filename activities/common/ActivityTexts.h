#pragma once

#include <QMap>
#include <QString>

// The few texts of an activity, per learner's language (line 4 of the input file).
using ActivityTextTable = QMap<QString, QMap<QString, QString>>;

// The text for the key in the learner's language; English when the language is unknown.
inline QString activityText(const ActivityTextTable& table, const QString& language, const char* key)
{
    const auto lang = table.constFind(language);
    const auto& texts = lang != table.constEnd() ? *lang : table.value(QStringLiteral("English"));
    return texts.value(QString::fromLatin1(key));
}
