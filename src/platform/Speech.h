#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Phrase sounds spoken by espeak-ng, for phrases that bring no recording of their own.
namespace Speech {

// The sound of a text spoken with the given voice (it, es, fr, de, en): a complete WAVE file.
std::optional<QByteArray> speak(const QString& voice, const QString& text, QString* error);

// The sounds of many texts, in order. The espeak-ng runs go side by side (a few per core),
// since starting the program costs more than speaking a phrase. Nothing on the first failure.
std::optional<std::vector<QByteArray>> speakAll(const QString& voice, const QStringList& texts,
                                                QString* error);

} // namespace Speech
