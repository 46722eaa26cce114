#include "ActivitySound.h"

#include "platform/Sound.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QSoundEffect>
#include <QUrl>

#include <cmath>

namespace {
std::function<void(const QString&, bool)>& failureHandler()
{
    static std::function<void(const QString&, bool)> h;
    return h;
}

// Made on the first sound played.
QSoundEffect* shortSound = nullptr;

QSoundEffect* effect()
{
    QSoundEffect*& e = shortSound;
    if (!e && QCoreApplication::instance()) {
        e = new QSoundEffect(QCoreApplication::instance());
        QObject::connect(e, &QSoundEffect::statusChanged, e, [] {
            if (shortSound->status() == QSoundEffect::Error)
                ActivitySound::failed(shortSound->source().toLocalFile());
        });
    }
    return e;
}

// Made on the first slower replay only: most sessions never need it.
QMediaPlayer* media = nullptr;

QMediaPlayer* mediaPlayer()
{
    QMediaPlayer*& m = media;
    if (!m && QCoreApplication::instance()) {
        m = new QMediaPlayer(QCoreApplication::instance());
        m->setAudioOutput(new QAudioOutput(m));
        QObject::connect(m, &QMediaPlayer::errorOccurred, m,
                         [] { ActivitySound::failed(media->source().toLocalFile(), true); });
    }
    return m;
}

// Nothing to play: said to the failure handler (the device is asked about before).
bool playable(const QString& path)
{
    if (QFileInfo(path).isFile())
        return true;
    ActivitySound::failed(path);
    return false;
}
} // namespace

namespace ActivitySound {

void setFailureHandler(std::function<void(const QString&, bool)> handler)
{
    failureHandler() = std::move(handler);
}

void failed(const QString& path, bool slower)
{
    if (failureHandler())
        failureHandler()(path, slower);
}

void play(const QString& path)
{
    if (!Sound::hasOutputDevice()) {
        failed(path);
        return;
    }
    if (Sound::takenByTestPlayer(path))
        return;
    QSoundEffect* e = effect();
    if (!e || !playable(path))
        return;
    if (media)
        media->stop();
    e->stop();
    e->setSource(QUrl::fromLocalFile(path));
    e->play();
}

bool playAt(const QString& path, double rate)
{
    if (!Sound::hasOutputDevice()) {
        failed(path);
        return true; // nothing at all to play on, not the rate
    }
    if (const auto took = Sound::takenByTestPlayer(path, rate))
        return *took;
    QMediaPlayer* m = mediaPlayer();
    if (!m || !playable(path))
        return m != nullptr;
    if (QSoundEffect* e = effect())
        e->stop();
    m->stop();
    m->setSource(QUrl::fromLocalFile(path));
    m->setPlaybackRate(rate);
    if (std::abs(m->playbackRate() - rate) > 0.01)
        return false;
    m->play();
    return true;
}

void stop()
{
    if (shortSound)
        shortSound->stop();
    if (media)
        media->stop();
}

} // namespace ActivitySound
