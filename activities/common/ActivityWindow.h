#pragma once

#include "ActivityInput.h"
#include "ActivityRun.h"
#include "ActivityTexts.h"

#include <QMainWindow>
#include <QPointer>

#include <vector>

class QColor;
class QKeyEvent;
class QLabel;
class QMessageBox;
class QPushButton;
class QVBoxLayout;

// What every activity window shares: its texts in the learner's language, a title naming the
// subject, a column of controls under a progress line, keyboard-first buttons, long texts
// that scroll, and the recording of the score.
class ActivityWindow : public QMainWindow
{
    Q_OBJECT
public:
    // The run the window shows: the phrase, the grades so far, the end.
    const ActivityRun& run() const { return m_run; }
    // Empty unless saving the result failed.
    QString saveError() const { return m_saveError; }
    // Ended by the session or a signal: the window closes without asking, keeping the answers
    // so far, also while the leave question is open.
    void closeWithoutAsking();

protected:
    ActivityWindow(const ActivityInput& input, const ActivityTextTable& texts, const char* activityName,
                   QWidget* parent);

    QString tr_(const char* key) const;
    // A button with the text of key, pressed by Enter when focused, named for screen readers.
    QPushButton* makeButton(const char* objectName, const char* key);
    // A disabled button is no stop for the focus, also for screen readers, which offer every
    // focusable object: it takes the focus only while enabled.
    static void focusOnlyWhenEnabled(QPushButton* button);
    // Adds label to the column inside an area of its own, so that a long text scrolls and the
    // buttons stay in reach; the area is of its own, named for screen readers by the text key.
    QWidget* addScrolling(QLabel* label, const char* nameKey);
    QWidget* addScrolling(QLabel* label, const QString& name);
    // Colours that read (4.5:1 at least) on this window's background, light or dark: of a
    // warning and of the marks on answers. Marks are told apart by words too, never by colour
    // alone.
    enum class Mark
    {
        Warning,
        Right,
        Wrong,
        Almost,
        Missing,
        Extra
    };
    QColor markColour(Mark mark) const;
    // Shows label's text in the warning colour.
    void showAsWarning(QLabel* label) const;
    // The phrase's translations as shown, cut to fit: the second in brackets after between.
    static QString shownTranslations(const ActivityPhrase& phrase, const QString& between);
    // The buttons that play the phrase: off, with the reason in their tooltips, where no sound
    // can be played.
    void setListenButtons(std::vector<QPushButton*> buttons);
    // After a sound failed: with no sound device at all, the listen buttons go off.
    void offerListeningOnlyWithSound();
    // Ends the column with what the end page adds (the phrases missed in this run, the close
    // button) and shows the first phrase: the last step of an activity's constructor.
    void start();
    // Shows the run's current phrase.
    virtual void showPhrase() = 0;
    // The end page: the activity sets its answering controls aside and shows result, the score.
    virtual void showResult(const QString& result) = 0;
    // From a graded phrase on: the next phrase, or the end with the score recorded.
    void goOn();
    // Tells a screen reader what just happened (a verdict, a revealed answer, the result): the
    // text becomes the description of target, or of the focused control when target is null,
    // and target takes the focus, so that the text is spoken with the control's name (or, when
    // it already had the focus, as its description changes). The one before is taken back.
    void announce(const QString& text, QWidget* target = nullptr);
    void clearAnnouncement();
    // Escape closes the window as its close button does; a window's own keys come first.
    void keyPressEvent(QKeyEvent* event) override;
    // Closing asks first (confirmLeave); left before the end, the answers given so far are the
    // result (none, no result).
    void closeEvent(QCloseEvent* event) override;
    // Asked by every close of an activity: with answers given and the session not finished,
    // the learner confirms leaving (No by default). False: the window stays.
    bool confirmLeave();
    // The window closes for good (asked and confirmed, or ended by a signal): what still runs
    // stops before the answers so far are recorded.
    virtual void leaving() {}
    // Texts every activity shares ("leave", "noSound"), in the learner's language.
    QString commonText(const char* key) const;
    // A sound could not be heard (no audio device, a missing file): the window has said so,
    // once per session, under the progress line; an activity shows what it can instead.
    virtual void soundUnavailable() {}
    bool soundProblemShown() const { return m_soundSaid; }

    ActivityRun m_run;
    const ActivityInput& m_input;
    QVBoxLayout* m_layout = nullptr;
    QLabel* m_progress = nullptr;

public:
    ~ActivityWindow() override;

private:
    void onSoundFailed();
    void finish();
    // Records the phrases graded so far, once.
    void record();

    const ActivityTextTable& m_texts;
    QLabel* m_soundProblem = nullptr;
    QPointer<QWidget> m_announcedOn;
    QPointer<QMessageBox> m_question;
    bool m_left = false;
    bool m_withoutAsking = false;
    bool m_soundSaid = false;
    QString m_saveError;
    QPushButton* m_close = nullptr;
    QLabel* m_missed = nullptr; // the end page's phrases to practise again
    QWidget* m_missedArea = nullptr;
    std::vector<QPushButton*> m_listenButtons;
};
