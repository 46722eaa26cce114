#include "Sound.h"

#include "WaveFile.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QThread>
#include <QUrl>

namespace {

// The one replacement of the players in tests; a plain player plays every rate.
Sound::RatePlayer& testPlayer()
{
    static Sound::RatePlayer player;
    return player;
}

std::optional<bool>& deviceOverride()
{
    static std::optional<bool> available;
    return available;
}

QSoundEffect* clickEffect()
{
    static QSoundEffect* effect = nullptr;
    if (!effect && QCoreApplication::instance()) {
        effect = new QSoundEffect(QCoreApplication::instance());
    }
    return effect;
}

} // namespace

namespace Sound {

void setPlayerForTests(Player player)
{
    if (!player) {
        testPlayer() = nullptr;
        return;
    }
    testPlayer() = [player = std::move(player)](const QString& source, bool synchronous, double) {
        player(source, synchronous);
        return true;
    };
}

void setRatePlayerForTests(RatePlayer player)
{
    testPlayer() = std::move(player);
}

std::optional<bool> takenByTestPlayer(const QString& source, double rate)
{
    if (!testPlayer())
        return std::nullopt;
    return testPlayer()(source, false, rate);
}

bool hasOutputDevice()
{
    if (deviceOverride())
        return *deviceOverride();
    if (testPlayer())
        return true;
    return !QMediaDevices::audioOutputs().isEmpty();
}

void setOutputDeviceForTests(std::optional<bool> available)
{
    deviceOverride() = available;
}

void PlaySoundFile(const QString& path)
{
    if (testPlayer()) {
        testPlayer()(path, true, 1.0);
        return;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const WaveInfo info = readWaveInfo(f.read(64 * 1024), f.size());
    f.close();
    // The player reserves what the header claims: a file that claims more than it holds is
    // not played (the program's own hand-over files are written with truthful sizes).
    if (!info.valid || info.declaredDataBytes > info.dataBytes)
        return;
    QSoundEffect effect;
    effect.setSource(QUrl::fromLocalFile(path));
    effect.play();
    QElapsedTimer clock;
    clock.start();
    // A damaged header could claim hours; no phrase lasts a minute.
    const qint64 limit = qMin<qint64>(info.durationMs, 60000) + 300;
    // Wait for the sound, keeping the windows alive; bounded by the sound's own length.
    while (clock.elapsed() < limit) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (clock.elapsed() > 200 && !effect.isPlaying() && effect.status() != QSoundEffect::Loading)
            break;
        QThread::msleep(5);
    }
    effect.stop();
}

void PlayInterfaceSound(const QString& name)
{
    const QString source = QStringLiteral("qrc:/sounds/%1.wav").arg(name.toLower());
    if (takenByTestPlayer(source))
        return;
    QSoundEffect* effect = clickEffect();
    if (!effect)
        return;
    effect->stop();
    if (effect->source() != QUrl(source))
        effect->setSource(QUrl(source));
    effect->play();
}

} // namespace Sound
