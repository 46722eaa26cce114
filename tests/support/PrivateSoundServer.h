#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// A sound server of the test's own: a PulseAudio daemon in a private folder with a null sink
// and a virtual microphone that hears whatever is played into that sink (Qt lists no monitor
// sources, so the sink's monitor is remapped into an ordinary source, the default one). It
// runs as whoever runs the test, root included (PulseAudio only warns then), and this process
// and its children reach it through PULSE_SERVER.
class PrivateSoundServer
{
public:
    static constexpr const char* Sink = "parlanto_sink";
    static constexpr const char* Microphone = "parlanto_mic";

    ~PrivateSoundServer() { stop(); }

    // False with the reason when there is no PulseAudio or it does not start.
    bool start(QString* why)
    {
        m_pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        m_pactl = QStandardPaths::findExecutable(QStringLiteral("pactl"));
        m_paplay = QStandardPaths::findExecutable(QStringLiteral("paplay"));
        if (m_pulseaudio.isEmpty() || m_pactl.isEmpty() || m_paplay.isEmpty())
            return fail(why,
                        QStringLiteral("pulseaudio, pactl or paplay is not installed (scripts/setup installs "
                                       "pulseaudio and pulseaudio-utils)"));
        if (!m_dir.isValid())
            return fail(why, QStringLiteral("no temporary folder for the sound server"));
        m_address = QStringLiteral("unix:") + m_dir.filePath(QStringLiteral("native"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // Everything of the daemon's in its own folder, nothing of a desktop's session.
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.remove(QStringLiteral("PULSE_SERVER"));
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        env.remove(QStringLiteral("DISPLAY"));
        m_daemon.setProcessEnvironment(env);
        m_daemon.setProcessChannelMode(QProcess::MergedChannels);
        m_daemon.start(m_pulseaudio,
                       {QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                        QStringLiteral("-n"), QStringLiteral("--use-pid-file=no"),
                        QStringLiteral("--log-target=stderr"),
                        QStringLiteral("--load=module-null-sink sink_name=%1").arg(QLatin1String(Sink)),
                        QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=%1")
                            .arg(m_dir.filePath(QStringLiteral("native"))),
                        QStringLiteral("--load=module-remap-source master=%1.monitor source_name=%2")
                            .arg(QLatin1String(Sink), QLatin1String(Microphone))});
        if (!m_daemon.waitForStarted(10000))
            return fail(why, QStringLiteral("pulseaudio did not start: ") + m_daemon.errorString());
        QDeadlineTimer deadline(15000);
        while (!pactl({QStringLiteral("info")})) {
            if (m_daemon.state() == QProcess::NotRunning || deadline.hasExpired()) {
                const QString log = QString::fromLocal8Bit(m_daemon.readAll()).trimmed();
                stop();
                return fail(why, QStringLiteral("pulseaudio did not start: ") + log.right(600));
            }
            QTest::qWait(100);
        }
        if (!pactl({QStringLiteral("set-default-source"), QLatin1String(Microphone)}) ||
            !pactl({QStringLiteral("set-default-sink"), QLatin1String(Sink)})) {
            stop();
            return fail(why, QStringLiteral("the private sound server refused its default devices"));
        }
        qputenv("PULSE_SERVER", m_address.toLocal8Bit());
        return true;
    }

    // Plays a sound file into the sink, so that the microphone hears it; events run meanwhile.
    bool play(const QString& path)
    {
        QProcess p;
        p.setProcessEnvironment(clientEnvironment());
        p.start(m_paplay, {QStringLiteral("--device=%1").arg(QLatin1String(Sink)), path});
        QDeadlineTimer deadline(30000);
        while (!p.waitForFinished(20) && !deadline.hasExpired())
            QCoreApplication::processEvents();
        return p.state() == QProcess::NotRunning && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }

    // Starts counting the streams that programs open to play on the server (each sound played
    // is one); true once the server's events reach the counter.
    bool watchPlayback()
    {
        m_events.setProcessEnvironment(clientEnvironment());
        m_events.start(m_pactl, {QStringLiteral("subscribe")});
        if (!m_events.waitForStarted(5000))
            return false;
        // Each pactl call is a client coming and going: once one is seen, nothing is missed.
        QDeadlineTimer deadline(15000);
        while (!m_seen.contains(QLatin1String("'new' on client"))) {
            if (deadline.hasExpired() || !pactl({QStringLiteral("info")}))
                return false;
            QTest::qWait(50);
            m_seen += QString::fromUtf8(m_events.readAllStandardOutput());
        }
        return true;
    }
    // The streams opened to play since watchPlayback, as far as the events have come.
    int playbacks()
    {
        m_seen += QString::fromUtf8(m_events.readAllStandardOutput());
        return int(m_seen.count(QLatin1String("Event 'new' on sink-input")));
    }

    void stop()
    {
        if (m_events.state() != QProcess::NotRunning) {
            m_events.kill();
            m_events.waitForFinished(5000);
        }
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            if (!m_daemon.waitForFinished(5000)) {
                m_daemon.kill();
                m_daemon.waitForFinished(5000);
            }
        }
    }

private:
    static bool fail(QString* why, const QString& text)
    {
        if (why)
            *why = text;
        return false;
    }
    QProcessEnvironment clientEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PULSE_SERVER"), m_address);
        return env;
    }
    bool pactl(const QStringList& args)
    {
        QProcess p;
        p.setProcessEnvironment(clientEnvironment());
        p.start(m_pactl, args);
        return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QProcess m_events; // pactl subscribe, once watchPlayback is called
    QString m_seen;
    QString m_pulseaudio, m_pactl, m_paplay, m_address;
};
