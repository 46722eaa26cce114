#pragma once

#include <QString>
#include <QStringList>

// Names in the order people expect wherever the program lists them by name: numbers by
// their value ("Verbs 2" before "Verbs 10"), letter case and accents second (QCollator in
// numeric mode, in the system's language).
namespace NaturalOrder {

// Whether a comes before b.
bool less(const QString& a, const QString& b);
// Sorts the names; names equal but for case keep one order (by their code points).
void sort(QStringList& names);

} // namespace NaturalOrder
