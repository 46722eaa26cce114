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
// The same, told the rate too (1: as recorded, below 1: slower) of the sounds played without
// waiting; false stands for a system whose player cannot play at that rate.
using RatePlayer = std::function<bool(const QString& source, bool synchronous, double rate)>;
void setRatePlayerForTests(RatePlayer player);
// Hands a sound played without waiting to a test's player, when a test set one: whether it
// played at rate. No value: no test player, the sound is for the real one.
std::optional<bool> takenByTestPlayer(const QString& source, double rate = 1.0);

} // namespace Sound
