#include "ActivitySound.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QSoundEffect>
#include <QUrl>

#include <cmath>

namespace {
std::function<void(const QString&)>& testPlayer()
{
    static std::function<void(const QString&)> p;
    return p;
}

std::function<bool(const QString&, double)>& testRatePlayer()
{
    static std::function<bool(const QString&, double)> p;
    return p;
}

std::function<void(const QString&)>& failureHandler()
{
    static std::function<void(const QString&)> h;
    return h;
}

QSoundEffect* effect()
{
    static QSoundEffect* e = nullptr;
    if (!e && QCoreApplication::instance()) {
        e = new QSoundEffect(QCoreApplication::instance());
        QObject::connect(e, &QSoundEffect::statusChanged, e, [] {
            if (e->status() == QSoundEffect::Error)
                ActivitySound::failed(e->source().toLocalFile());
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
                         [] { ActivitySound::failed(media->source().toLocalFile()); });
    }
    return m;
}

// Nothing to play, or nothing to play it on: said to the failure handler.
bool playable(const QString& path)
{
    if (QFileInfo(path).isFile() && !QMediaDevices::audioOutputs().isEmpty())
        return true;
    ActivitySound::failed(path);
    return false;
}
} // namespace

namespace ActivitySound {

void setPlayerForTests(std::function<void(const QString&)> player)
{
    testPlayer() = std::move(player);
}

void setRatePlayerForTests(std::function<bool(const QString&, double)> player)
{
    testRatePlayer() = std::move(player);
}

void setFailureHandler(std::function<void(const QString&)> handler)
{
    failureHandler() = std::move(handler);
}

void failed(const QString& path)
{
    if (failureHandler())
        failureHandler()(path);
}

void play(const QString& path)
{
    if (testPlayer()) {
        testPlayer()(path);
        return;
    }
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
    if (testRatePlayer())
        return testRatePlayer()(path, rate);
    if (testPlayer()) {
        testPlayer()(path);
        return true;
    }
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
    if (testPlayer() || testRatePlayer())
        return;
    if (effect())
        effect()->stop();
    if (media)
        media->stop();
}

} // namespace ActivitySound
