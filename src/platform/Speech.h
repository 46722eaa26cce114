#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Phrase sounds spoken by espeak-ng, for phrases that bring no recording of their own. The
// engine runs inside the process (libespeak-ng), started once: running the espeak-ng
// program for each phrase costs ten times the speaking, most of it loading the voice.
namespace Speech {

// The sound of a text spoken with the given voice (it, es, fr, de, en): a complete WAVE file
// (16-bit PCM, one channel, the engine's sample rate).
std::optional<QByteArray> speak(const QString& voice, const QString& text, QString* error);

// The sounds of many texts with one voice, in order; nothing on the first failure.
std::optional<std::vector<QByteArray>> speakAll(const QString& voice, const QStringList& texts,
                                                QString* error);

} // namespace Speech
