#pragma once

#include <QString>

#include <functional>
#include <optional>

// Phrase sounds and the interface click. No audio device means silence, never an error.
namespace Sound {

// Plays a WAVE file and returns when it has ended: at most its own length from the WAVE
// header plus a small margin, since without a device the player may never say "finished".
void PlaySoundFile(const QString& path);
// Plays an interface sound kept as a resource ("click"); a new call replaces the one playing.
void PlayInterfaceSound(const QString& name = QStringLiteral("click"));

// Whether there is an audio output to play on. With a test player there is, unless a test
// says otherwise.
bool hasOutputDevice();
void setOutputDeviceForTests(std::optional<bool> available);

// Tests see what would be played instead of playing it.
using Player = std::function<void(const QString& source, bool synchronous)>;
void setPlayerForTests(Player player);

} // namespace Sound
