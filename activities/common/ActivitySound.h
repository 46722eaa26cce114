#pragma once

#include <QString>

#include <functional>

class QSoundEffect;

// Plays a phrase's sound without blocking the window; a new sound replaces the one playing.
// No audio device means silence (and a word to the failure handler, when one is set). Tests
// replace the player as for every sound of the program (Sound::setPlayerForTests).
namespace ActivitySound {

void play(const QString& path);
// Plays at rate (below 1: slower) through the media player; false, and nothing played, when
// this system's player does not change the rate.
bool playAt(const QString& path, double rate);
void stop();

// Told of a sound that could not be heard: no audio output, a missing file, or a file this
// system cannot play; slower when it was the slower replay's player that failed (the usual
// one may still work).
void setFailureHandler(std::function<void(const QString& path, bool slower)> handler);
// Passes a failure to the handler (the players call it).
void failed(const QString& path, bool slower = false);

} // namespace ActivitySound
