#include "ActivitySound.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace {
std::function<void(const QString&)>& testPlayer()
{
    static std::function<void(const QString&)> p;
    return p;
}

QSoundEffect* effect()
{
    static QSoundEffect* e = nullptr;
    if (!e && QCoreApplication::instance())
        e = new QSoundEffect(QCoreApplication::instance());
    return e;
}
} // namespace

namespace ActivitySound {

void setPlayerForTests(std::function<void(const QString&)> player)
{
    testPlayer() = std::move(player);
}

void play(const QString& path)
{
    if (testPlayer()) {
        testPlayer()(path);
        return;
    }
    QSoundEffect* e = effect();
    if (!e || !QFileInfo(path).isFile())
        return;
    e->stop();
    e->setSource(QUrl::fromLocalFile(path));
    e->play();
}

void stop()
{
    if (!testPlayer() && effect())
        effect()->stop();
}

} // namespace ActivitySound
