#include "Speech.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

namespace {

constexpr int StartTimeoutMs = 10000;
constexpr int RunTimeoutMs = 60000;

// Starts espeak-ng writing the spoken text to wav; the text goes through standard input, so
// a phrase starting with "-" is not taken for an option.
std::unique_ptr<QProcess> startSpeaking(const QString& voice, const QString& text, const QString& wav,
                                        QString* error)
{
    auto espeak = std::make_unique<QProcess>();
    espeak->start(QStringLiteral("espeak-ng"),
                  {QStringLiteral("-v"), voice, QStringLiteral("-w"), wav, QStringLiteral("--stdin")});
    if (!espeak->waitForStarted(StartTimeoutMs)) {
        *error =
            QStringLiteral("espeak-ng could not be started (is it installed?): %1").arg(espeak->errorString());
        return nullptr;
    }
    espeak->write(text.toUtf8() + '\n');
    espeak->closeWriteChannel();
    return espeak;
}

std::optional<QByteArray> finishSpeaking(QProcess& espeak, const QString& voice, const QString& text,
                                         const QString& wav, QString* error)
{
    if (!espeak.waitForFinished(RunTimeoutMs) || espeak.exitStatus() != QProcess::NormalExit ||
        espeak.exitCode() != 0) {
        espeak.kill();
        espeak.waitForFinished();
        *error = QStringLiteral("espeak-ng failed on \"%1\" with voice %2: %3")
                     .arg(text, voice, QString::fromLocal8Bit(espeak.readAllStandardError()).trimmed());
        return std::nullopt;
    }
    QFile f(wav);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(wav, f.errorString());
        return std::nullopt;
    }
    return f.readAll();
}

} // namespace

namespace Speech {

std::optional<QByteArray> speak(const QString& voice, const QString& text, QString* error)
{
    auto all = speakAll(voice, {text}, error);
    if (!all)
        return std::nullopt;
    return all->front();
}

std::optional<std::vector<QByteArray>> speakAll(const QString& voice, const QStringList& texts,
                                                QString* error)
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        *error = QStringLiteral("cannot make a temporary folder: %1").arg(dir.errorString());
        return std::nullopt;
    }
    std::vector<QByteArray> sounds(size_t(texts.size()));
    const int parallel = std::max(2, QThread::idealThreadCount() * 2);
    for (qsizetype first = 0; first < texts.size(); first += parallel) {
        const qsizetype last = std::min<qsizetype>(texts.size(), first + parallel);
        std::vector<std::unique_ptr<QProcess>> running;
        for (qsizetype i = first; i < last; ++i) {
            auto p = startSpeaking(voice, texts.at(i), dir.filePath(QStringLiteral("%1.wav").arg(i)), error);
            if (!p)
                return std::nullopt; // the running ones end with their objects
            running.push_back(std::move(p));
        }
        for (qsizetype i = first; i < last; ++i) {
            auto bytes = finishSpeaking(*running[size_t(i - first)], voice, texts.at(i),
                                        dir.filePath(QStringLiteral("%1.wav").arg(i)), error);
            if (!bytes)
                return std::nullopt;
            sounds[size_t(i)] = std::move(*bytes);
        }
    }
    return sounds;
}

} // namespace Speech
