#pragma once

#include <QString>

#include <functional>

class QSoundEffect;

// Plays a phrase's sound without blocking the window; a new sound replaces the one playing.
// No audio device means silence.
namespace ActivitySound {

void play(const QString& path);
void stop();

// Tests see the sounds instead of hearing them.
void setPlayerForTests(std::function<void(const QString& path)> player);

} // namespace ActivitySound
