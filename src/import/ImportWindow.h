#pragma once

#include "import/VocabularyImport.h"
#include "import/VocabularySource.h"

#include <QDialog>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QVBoxLayout;

// "Import vocabulary" (objectName "ImportWindow"): a vocabulary file of another program shown
// (its name, format, languages and first rows) with the choice of its columns, the subjects'
// name and folder, then made into subjects on a thread of its own with progress and Cancel.
// The file is read, and the subjects written, by VocabularyImport; a cancelled or failed
// import leaves nothing behind. Announces the subjects it made with imported().
class ImportWindow : public QDialog
{
    Q_OBJECT
public:
    // Makes a package's review history the logged-in learner's rows, once its subjects are in
    // place: the number of rows added (the windows above the review pass it in).
    using HistoryKeeper = std::function<std::optional<int>(const VocabularyImport::Result& result, QString* error)>;

    // outFolder: where the subjects go unless the learner chooses another folder. With a
    // keeper, a file that brings a review history offers it to the logged-in learner.
    ImportWindow(const QString& path, const QString& outFolder, QWidget* parent = nullptr,
                 HistoryKeeper keepHistory = {});
    ~ImportWindow() override;

    // Opens the window on a file (when path is "", the learner chooses one first) for the
    // learner's own subjects and runs it modally: the file names of the subjects made in
    // the learner's own subjects folder, in order (none when nothing was, or they went to
    // another folder).
    static QStringList importFile(const QString& path, QWidget* parent, HistoryKeeper keepHistory = {});

signals:
    // The file names of the subjects made, in the folder given (the learner's own subjects
    // when it is outFolder).
    void imported(const QStringList& subjectFiles, const QString& folder);

protected:
    void reject() override;

private:
    // The learner's choices: the columns, the subject name, the destination, the history.
    void addChoices(QVBoxLayout* layout, const QString& outFolder);
    void startReading();
    void onRead(std::shared_ptr<VocabularySource> source, const QString& error);
    void onImportClicked();
    void onCancelClicked();
    void onDestinationChosen(int index);
    void onProgress(const VocabularyImport::Progress& progress);
    void onFinished(const std::optional<VocabularyImport::Result>& result, const QString& error);
    void updateImportButton();
    void fillPreview();
    VocabularyImport::Options options() const;
    // Runs work on the window's thread; finished when it ends (the window waits for it).
    void runInBackground(std::function<void()> work);
    void joinWorker();
    void showMessage(const QString& text, bool problem);

    QString m_path;
    QString m_outFolder;
    QString m_otherFolder;
    HistoryKeeper m_keepHistory;
    std::shared_ptr<VocabularySource> m_source;
    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    bool m_running = false;
    bool m_done = false;

    QLabel* m_fileLabel = nullptr;
    QLabel* m_formatLabel = nullptr;
    QLabel* m_languagesLabel = nullptr;
    QTableWidget* m_preview = nullptr;
    QComboBox* m_phraseColumn = nullptr;
    QComboBox* m_translationColumn = nullptr;
    QComboBox* m_translation2Column = nullptr;
    QLineEdit* m_subjectName = nullptr;
    QCheckBox* m_history = nullptr;
    QComboBox* m_destination = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_importButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};
