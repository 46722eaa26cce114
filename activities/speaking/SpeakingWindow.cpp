#include "SpeakingWindow.h"

#include "ActivitySound.h"
#include "ActivityTexts.h"
#include "WaveformView.h"
#include "platform/EndSignals.h"
#include "platform/ShownText.h"
#include "platform/Sound.h"
#include "platform/WaveFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <memory>

#include <unistd.h>

namespace {
const ActivityTextTable& texts()
{
    static const ActivityTextTable t = {
        {QStringLiteral("English"),
         {{"title", "Speaking"},
          {"progress", "Phrase %1 of %2"},
          {"prompt", "Listen, record yourself (V), compare, then grade yourself (1 to 4)."},
          {"model", "Hear the model"},
          {"record", "Record yourself"},
          {"stop", "Stop recording"},
          {"replay", "Hear yourself"},
          {"again", "Again"},
          {"hard", "Hard"},
          {"good", "Good"},
          {"easy", "Easy"},
          {"keyHint", "%1 (key %2)"},
          {"shift", "Shift+%1"},
          {"starting", "Starting the microphone..."},
          {"recording", "Recording: speak now. Press V again to stop."},
          {"modelRow", "Model"},
          {"attemptRow", "You"},
          {"waves", "Waveforms: the model above, your recording below, silences left out"},
          {"hintClose", "Hint, not a score: close to the model in length and sound."},
          {"hintLonger", "Hint, not a score: much longer than the model."},
          {"hintShorter", "Hint, not a score: much shorter than the model."},
          {"hintDifferent", "Hint, not a score: sounds different from the model."},
          {"hintNothing", "Hint, not a score: nothing was heard in your recording."},
          {"hintNoModel", "Hint, not a score: the model's sound cannot be compared."},
          {"hintComparing", "Comparing your recording with the model..."},
          {"hintTooLong", "Hint, not a score: too long to compare (over %1 seconds of speech)."},
          {"hintFigures", "(length %1% of the model's, distance %2)"},
          {"noSoundDevice",
           "No sound device was found: neither the model nor a recording of yours can be heard, "
           "and nothing can be recorded. You can still read the phrase and grade yourself."},
          {"noOutput", "No sound device to play on was found: neither the model nor your recording can be "
                       "heard. You can still record yourself, see the waveforms and grade yourself."},
          {"noDevice",
           "No microphone was found, so nothing can be recorded. You can still hear the model and grade "
           "yourself."},
          {"noFolder", "Nothing can be recorded: the activity was not started in a private folder of yours. "
                       "You can still "
                       "hear the model and grade yourself."},
          {"cannotRecord", "Nothing could be recorded: %1 You can still hear the model and grade yourself."},
          {"silent",
           "Your recording was silent: check that the microphone is on and not muted. You can still grade "
           "yourself."},
          {"result", "Said well (Hard, Good or Easy): %1."},
          {"phraseArea", "Phrase"},
          {"translationArea", "Translation"},
          {"close", "&Close"},
          {"saveError", "Your result could not be saved:"}}},
        {QStringLiteral("Spanish"),
         {{"title", "Hablar"},
          {"progress", "Frase %1 de %2"},
          {"prompt", "Escuche, grábese (V), compare y califíquese (1 a 4)."},
          {"model", "Escuchar el modelo"},
          {"record", "Grabarse"},
          {"stop", "Detener la grabación"},
          {"replay", "Escucharse"},
          {"again", "Otra vez"},
          {"hard", "Difícil"},
          {"good", "Bien"},
          {"easy", "Fácil"},
          {"keyHint", "%1 (tecla %2)"},
          {"shift", "Mayús+%1"},
          {"starting", "Preparando el micrófono..."},
          {"recording", "Grabando: hable ahora. Pulse V otra vez para terminar."},
          {"modelRow", "Modelo"},
          {"attemptRow", "Usted"},
          {"waves", "Ondas: el modelo arriba, su grabación abajo, sin los silencios"},
          {"hintClose", "Pista, no una nota: parecida al modelo en duración y sonido."},
          {"hintLonger", "Pista, no una nota: mucho más larga que el modelo."},
          {"hintShorter", "Pista, no una nota: mucho más corta que el modelo."},
          {"hintDifferent", "Pista, no una nota: suena distinta del modelo."},
          {"hintNothing", "Pista, no una nota: no se oye nada en su grabación."},
          {"hintNoModel", "Pista, no una nota: el sonido del modelo no se puede comparar."},
          {"hintComparing", "Comparando su grabación con el modelo..."},
          {"hintTooLong", "Pista, no una nota: demasiado larga para compararla (más de %1 segundos de voz)."},
          {"hintFigures", "(duración %1% de la del modelo, distancia %2)"},
          {"noSoundDevice", "No se ha encontrado ningún dispositivo de sonido: no se pueden escuchar ni el "
                            "modelo ni una grabación suya, y no se puede grabar nada. Puede leer la frase y "
                            "calificarse igualmente."},
          {"noOutput",
           "No se ha encontrado ningún dispositivo para reproducir sonido: no se pueden escuchar ni "
           "el modelo ni su grabación. Puede grabarse, ver las ondas y calificarse igualmente."},
          {"noDevice", "No se ha encontrado ningún micrófono, así que no se puede grabar nada. Puede "
                       "escuchar el modelo y "
                       "calificarse igualmente."},
          {"noFolder", "No se puede grabar nada: la actividad no se ha iniciado en una carpeta privada suya. "
                       "Puede escuchar "
                       "el modelo y calificarse igualmente."},
          {"cannotRecord",
           "No se ha podido grabar nada: %1 Puede escuchar el modelo y calificarse igualmente."},
          {"silent",
           "Su grabación está en silencio: compruebe que el micrófono está encendido y no silenciado. Puede "
           "calificarse igualmente."},
          {"result", "Bien dichas (Difícil, Bien o Fácil): %1."},
          {"phraseArea", "Frase"},
          {"translationArea", "Traducción"},
          {"close", "&Cerrar"},
          {"saveError", "No se ha podido guardar su resultado:"}}},
    };
    return t;
}

// The launcher starts an activity in the launch's private hand-over folder, and only there may
// recordings be written: a real folder of this user that nobody else may enter. Anywhere else
// (started by hand in a shared folder) nothing is recorded.
QString privateWorkingFolder()
{
    const QFileInfo here(QDir::currentPath());
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                        QFile::WriteOther | QFile::ExeOther;
    if (!here.isDir() || here.isSymLink() || here.ownerId() != ::getuid() || (here.permissions() & others) ||
        !here.isWritable())
        return {};
    return here.absoluteFilePath() + QLatin1Char('/');
}
} // namespace

SpeakingWindow::SpeakingWindow(const ActivityInput& input, QWidget* parent)
    : ActivityWindow(input, texts(), ActivityName, parent), m_folder(privateWorkingFolder()),
      m_canHear(Sound::hasOutputDevice())
{
    m_phrase = new QLabel(this);
    m_phrase->setObjectName(QStringLiteral("lblPhrase"));
    m_translation = new QLabel(this);
    m_translation->setObjectName(QStringLiteral("lblTranslation"));
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("lblNotice"));
    m_status = new QLabel(tr_("prompt"), this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("lblHint"));
    for (QLabel* l : {m_phrase, m_translation, m_notice, m_status, m_hint}) {
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
    }
    for (QLabel* l : {m_phrase, m_translation})
        l->setAlignment(Qt::AlignCenter);
    m_notice->hide();
    QFont big = m_phrase->font();
    big.setPointSize(big.pointSize() + 8);
    m_phrase->setFont(big);
    m_waves = new WaveformView(this);
    m_waves->setLabels(tr_("modelRow"), tr_("attemptRow"));
    m_waves->setAccessibleName(tr_("waves"));

    // The keys work anywhere in the window; each button's tooltip names its key.
    auto withKey = [this](QPushButton* b, const QString& key) {
        b->setToolTip(tr_("keyHint").arg(b->text(), key));
        b->setAccessibleDescription(b->toolTip());
    };
    m_model = makeButton("btnModel", "model");
    m_record = makeButton("btnRecord", "record");
    m_replay = makeButton("btnReplay", "replay");
    withKey(m_model, QStringLiteral("M"));
    withKey(m_record, QStringLiteral("V"));
    withKey(m_replay, tr_("shift").arg(QLatin1Char('V')));
    const char* gradeKeys[] = {"again", "hard", "good", "easy"};
    auto* sounds = new QHBoxLayout;
    for (QPushButton* b : {m_model, m_record, m_replay})
        sounds->addWidget(b);
    auto* grades = new QHBoxLayout;
    for (int g = 0; g < 4; ++g) {
        QPushButton* b = makeButton(qPrintable(QStringLiteral("btnGrade_%1").arg(g + 1)), gradeKeys[g]);
        b->setText(QStringLiteral("%1  %2").arg(g + 1).arg(tr_(gradeKeys[g])));
        b->setAccessibleName(tr_(gradeKeys[g]));
        withKey(b, QString::number(g + 1));
        connect(b, &QPushButton::clicked, this, [this, g] { grade(Grade(g + 1)); });
        grades->addWidget(b);
        m_grades.push_back(b);
    }
    addScrolling(m_phrase, "phraseArea");
    addScrolling(m_translation, "translationArea");
    m_layout->addWidget(m_notice);
    m_layout->addWidget(m_waves, 1);
    m_layout->addWidget(m_hint);
    m_layout->addWidget(m_status);
    m_layout->addLayout(sounds);
    m_layout->addLayout(grades);

    m_nextSound.setSingleShot(true);
    connect(&m_nextSound, &QTimer::timeout, this, &SpeakingWindow::playRecording);
    connect(&m_recorder, &SpeechRecorder::finished, this, &SpeakingWindow::onRecorded);
    connect(&m_recorder, &SpeechRecorder::listening, this, [this] { m_status->setText(tr_("recording")); });
    connect(m_model, &QPushButton::clicked, this, &SpeakingWindow::playModel);
    connect(m_record, &QPushButton::clicked, this, &SpeakingWindow::toggleRecording);
    connect(m_replay, &QPushButton::clicked, this, &SpeakingWindow::playRecording);
    // Ended by the session or a signal: nothing is left recording, the recordings are deleted
    // and the phrases graded so far are the result.
    EndSignals::install([window = QPointer<SpeakingWindow>(this)](int) {
        if (window)
            window->closeWithoutAsking();
        QCoreApplication::quit();
    });

    // Without a sound server there is neither an output nor an input: said once, for both.
    const bool canListen = SpeechRecorder::hasInputDevice();
    if (!m_canHear && !canListen)
        sayOnce(tr_("noSoundDevice"));
    else if (m_folder.isEmpty())
        sayOnce(tr_("noFolder"));
    else if (!canListen)
        sayOnce(tr_("noDevice"));
    else if (!m_canHear)
        sayOnce(tr_("noOutput"));
    m_record->setEnabled(!m_folder.isEmpty() && canListen);
    if (!m_canHear) {
        for (QPushButton* b : {m_model, m_replay}) {
            b->setEnabled(false);
            b->setToolTip(commonText("noSoundTip"));
        }
    }
    resize(640, 520);
    start();
}

SpeakingWindow::~SpeakingWindow()
{
    // A comparison still running ends before the thread object goes with the window.
    for (QThread* worker : findChildren<QThread*>())
        worker->wait();
    m_recorder.cancel();
    deleteRecordings();
}

int SpeakingWindow::recordingLimitMs() const
{
    // A model of unknown length allows a long phrase's time.
    const qint64 model = m_modelMs > 0 ? m_modelMs : 5000;
    return int(2 * model + ExtraRecordingMs);
}

void SpeakingWindow::sayForPhrase(const QString& text)
{
    if (m_noticeGiven)
        return;
    m_phraseNotice = true;
    m_notice->setText(text);
    m_notice->setAccessibleName(text);
    m_notice->show();
}

void SpeakingWindow::takeBackPhraseNotice()
{
    if (!m_phraseNotice)
        return;
    m_phraseNotice = false;
    m_notice->hide();
    m_notice->clear();
    m_notice->setAccessibleName(QString());
}

void SpeakingWindow::sayOnce(const QString& text)
{
    takeBackPhraseNotice();
    if (m_noticeGiven)
        return;
    m_noticeGiven = true;
    m_notice->setText(text);
    m_notice->setAccessibleName(text);
    m_notice->show();
}

void SpeakingWindow::showPhrase()
{
    m_nextSound.stop();
    const ActivityPhrase& p = m_run.phrase();
    m_phrase->setText(ShownText::wrappable(p.phrase, ShownText::PhraseLimit));
    m_translation->setText(shownTranslations(p, QStringLiteral("\n")));
    m_recording.clear();
    m_closeness.reset();
    takeBackPhraseNotice(); // a silent recording was this phrase's, not the next one's
    ++m_comparison;         // a comparison still running was for the phrase before
    m_hint->clear();
    m_status->setText(tr_("prompt"));
    QString why;
    m_modelSound = SpeechAnalysis::readWave(p.soundFile, &why);
    m_modelMs = 0;
    if (m_modelSound) {
        m_modelMs = m_modelSound->durationMs();
    } else {
        QFile f(p.soundFile);
        if (f.open(QIODevice::ReadOnly))
            m_modelMs = readWaveInfo(f.read(64 * 1024), f.size()).durationMs;
    }
    m_waves->setSounds(m_modelSound, std::nullopt);
    m_replay->setEnabled(false);
    (m_record->isEnabled() ? m_record : m_model->isEnabled() ? m_model : m_grades.front())->setFocus();
    playModel();
}

void SpeakingWindow::playModel()
{
    if (m_run.ended() || !m_canHear)
        return;
    m_nextSound.stop();
    ActivitySound::play(m_run.phrase().soundFile);
}

void SpeakingWindow::playRecording()
{
    if (m_run.ended() || !m_canHear || m_recording.isEmpty() || m_recorder.isRecording())
        return;
    m_nextSound.stop();
    ActivitySound::play(m_recording);
}

void SpeakingWindow::playBoth()
{
    playModel();
    m_nextSound.start(int(m_modelMs) + PauseBetweenSoundsMs);
}

void SpeakingWindow::toggleRecording()
{
    if (m_run.ended() || !m_record->isEnabled())
        return;
    if (m_recorder.isRecording()) {
        m_recorder.stop(); // onRecorded follows
        return;
    }
    m_nextSound.stop();
    ActivitySound::stop(); // the model must not be recorded
    const QString path =
        m_folder +
        QStringLiteral("speaking-%1-%2.wav").arg(QCoreApplication::applicationPid()).arg(m_run.index() + 1);
    if (!m_recordings.contains(path))
        m_recordings << path;
    m_recording.clear();
    m_replay->setEnabled(false);
    m_status->setText(tr_("starting")); // "speak now" once the microphone delivers
    QString why;
    if (!m_recorder.start(path, recordingLimitMs(), &why)) {
        m_status->setText(tr_("prompt"));
        sayOnce(tr_("cannotRecord").arg(why));
        return;
    }
    m_record->setText(tr_("stop"));
    m_record->setAccessibleName(tr_("stop"));
}

void SpeakingWindow::onRecorded(const SpeechRecorder::Result& result)
{
    ++m_comparison; // a comparison still running was for the recording before
    m_record->setText(tr_("record"));
    m_record->setAccessibleName(tr_("record"));
    m_status->setText(tr_("prompt"));
    if (result.path.isEmpty()) {
        sayOnce(tr_("cannotRecord").arg(result.error));
        return;
    }
    if (!result.error.isEmpty())
        sayOnce(tr_("cannotRecord").arg(result.error)); // the device stopped early; what came is kept
    m_recording = result.path;
    m_replay->setEnabled(m_canHear);
    QString why;
    const auto attempt = SpeechAnalysis::readWave(m_recording, &why);
    m_waves->setSounds(m_modelSound, attempt);
    const bool silent = !attempt || SpeechAnalysis::isSilent(*attempt);
    if (!silent)
        takeBackPhraseNotice(); // heard this time
    if (silent) {
        m_closeness = SpeechAnalysis::Closeness{};
        sayForPhrase(tr_("silent"));
        m_hint->setText(tr_("hintNothing"));
        announce(m_hint->text());
        return;
    }
    if (m_modelSound) {
        // Compared on a worker thread: the window keeps answering meanwhile. The sounds go
        // with it; its figures count only for the recording it was started for.
        m_hint->setText(tr_("hintComparing"));
        const int comparison = m_comparison;
        auto result = std::make_shared<SpeechAnalysis::Closeness>();
        QThread* worker = QThread::create([model = *m_modelSound, attempt = *attempt, result] {
            *result = SpeechAnalysis::compare(model, attempt);
        });
        worker->setParent(this);
        connect(worker, &QThread::finished, this, [this, worker, comparison, result] {
            worker->deleteLater();
            if (comparison == m_comparison)
                showCloseness(*result);
        });
        worker->start(QThread::LowPriority);
    } else {
        m_hint->setText(tr_("hintNoModel"));
        announce(m_hint->text()); // on the control the learner is on
    }
    playBoth();
}

void SpeakingWindow::showCloseness(const SpeechAnalysis::Closeness& closeness)
{
    m_closeness = closeness;
    {
        const char* key = "hintClose";
        switch (m_closeness->verdict) {
        case SpeechAnalysis::Closeness::Close:
            break;
        case SpeechAnalysis::Closeness::DifferentLength:
            key = m_closeness->lengthRatio > 1 ? "hintLonger" : "hintShorter";
            break;
        case SpeechAnalysis::Closeness::SoundsDifferent:
            key = "hintDifferent";
            break;
        case SpeechAnalysis::Closeness::NothingHeard:
            key = "hintNothing";
            break;
        case SpeechAnalysis::Closeness::TooLong:
            key = "hintTooLong";
            break;
        }
        if (m_closeness->verdict == SpeechAnalysis::Closeness::TooLong)
            m_hint->setText(tr_(key).arg(SpeechAnalysis::MaxComparedMs / 1000));
        else
            m_hint->setText(tr_(key) + QLatin1Char(' ') +
                            tr_("hintFigures")
                                .arg(qRound(m_closeness->lengthRatio * 100))
                                .arg(m_closeness->distance, 0, 'f', 1));
    }
    announce(m_hint->text()); // on the control the learner is on
}

void SpeakingWindow::grade(Grade g)
{
    // Hard is said with effort, but said: only Again counts as not yet.
    if (!m_run.grade(g))
        return;
    m_recorder.cancel(); // a grade moves on: a recording still running is not kept
    m_record->setText(tr_("record"));
    m_record->setAccessibleName(tr_("record"));
    goOn();
}

void SpeakingWindow::showResult(const QString& result)
{
    m_nextSound.stop();
    m_phrase->setText(result);
    m_translation->clear();
    m_hint->clear();
    m_status->clear();
    m_waves->setSounds(std::nullopt, std::nullopt);
    for (QPushButton* b : {m_model, m_record, m_replay})
        b->setEnabled(false);
    for (QPushButton* b : m_grades)
        b->setEnabled(false);
    deleteRecordings();
}

void SpeakingWindow::deleteRecordings()
{
    for (const QString& path : std::as_const(m_recordings))
        QFile::remove(path);
    m_recordings.clear();
    m_recording.clear();
}

void SpeakingWindow::leaving()
{
    m_nextSound.stop();
    m_recorder.cancel();
    ActivitySound::stop();
    deleteRecordings();
}

void SpeakingWindow::keyPressEvent(QKeyEvent* event)
{
    const int k = event->key();
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    if (k == Qt::Key_Escape && mods == Qt::NoModifier) {
        close();
        return;
    }
    if (!m_run.ended()) {
        if (k == Qt::Key_V && mods == Qt::NoModifier) {
            toggleRecording();
            return;
        }
        if (k == Qt::Key_V && mods == Qt::ShiftModifier) {
            playRecording();
            return;
        }
        if (k == Qt::Key_M && mods == Qt::NoModifier) {
            playModel();
            return;
        }
        if (k >= Qt::Key_1 && k <= Qt::Key_4 && mods == Qt::NoModifier) {
            grade(Grade(k - Qt::Key_1 + 1));
            return;
        }
    }
    QMainWindow::keyPressEvent(event);
}
