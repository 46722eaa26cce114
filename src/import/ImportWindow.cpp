#include "ImportWindow.h"

#include "state/AppState.h"
#include "state/CaptionId.h"
#include "widgets/Dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int PreviewRows = 10;

QString caption(Caption id)
{
    return app().captions(id);
}

// A combo box of the file's columns: "Column 1: Italian" ... after the given first items.
QComboBox* columnBox(const QString& objectName, const QString& accessibleName, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(objectName);
    box->setAccessibleName(accessibleName);
    return box;
}

} // namespace

ImportWindow::ImportWindow(const QString& path, const QString& outFolder, QWidget* parent,
                           HistoryKeeper keepHistory)
    : QDialog(parent), m_path(path), m_outFolder(outFolder), m_keepHistory(std::move(keepHistory))
{
    setObjectName(QStringLiteral("ImportWindow"));
    setWindowTitle(caption(Caption::ImportVocabulary));
    setAccessibleName(caption(Caption::ImportVocabulary));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    m_fileLabel = new QLabel(QFileInfo(path).fileName(), this);
    m_fileLabel->setObjectName(QStringLiteral("fileName"));
    m_formatLabel = new QLabel(this);
    m_formatLabel->setObjectName(QStringLiteral("format"));
    m_languagesLabel = new QLabel(this);
    m_languagesLabel->setObjectName(QStringLiteral("languages"));
    for (QLabel* label : {m_fileLabel, m_formatLabel, m_languagesLabel})
        label->setTextFormat(Qt::PlainText);
    form->addRow(caption(Caption::ImportFile), m_fileLabel);
    form->addRow(caption(Caption::ImportFormat), m_formatLabel);
    form->addRow(caption(Caption::ImportLanguagesFound), m_languagesLabel);
    layout->addLayout(form);

    auto* previewLabel = new QLabel(caption(Caption::ImportFirstRows), this);
    layout->addWidget(previewLabel);
    m_preview = new QTableWidget(this);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setAccessibleName(caption(Caption::ImportPreview));
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->horizontalHeader()->setStretchLastSection(true);
    previewLabel->setBuddy(m_preview);
    layout->addWidget(m_preview, 1);

    addChoices(layout, outFolder);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setAccessibleName(caption(Caption::ImportProgress));
    layout->addWidget(m_progress);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(m_status);

    auto* buttons = new QDialogButtonBox(this);
    m_importButton = buttons->addButton(caption(Caption::ImportStart), QDialogButtonBox::AcceptRole);
    m_importButton->setObjectName(QStringLiteral("importButton"));
    m_cancelButton = buttons->addButton(app().captions(Caption::Cancel), QDialogButtonBox::RejectRole);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    layout->addWidget(buttons);
    // The buttons are handled here, not by the box: Import keeps the window open.
    connect(m_importButton, &QPushButton::clicked, this, &ImportWindow::onImportClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &ImportWindow::onCancelClicked);
    for (QComboBox* box : {m_phraseColumn, m_translationColumn, m_translation2Column})
        connect(box, &QComboBox::currentIndexChanged, this, &ImportWindow::updateImportButton);
    connect(m_destination, &QComboBox::activated, this, &ImportWindow::onDestinationChosen);
    m_importButton->setDefault(true);
    m_importButton->setEnabled(false);
    resize(640, 560);
    startReading();
}

void ImportWindow::addChoices(QVBoxLayout* layout, const QString& outFolder)
{
    auto* choices = new QFormLayout();
    m_phraseColumn = columnBox(QStringLiteral("phraseColumn"), caption(Caption::ImportPhraseColumn), this);
    m_translationColumn =
        columnBox(QStringLiteral("translationColumn"), caption(Caption::ImportTranslationColumn), this);
    m_translation2Column =
        columnBox(QStringLiteral("translation2Column"), caption(Caption::ImportTranslation2Column), this);
    choices->addRow(caption(Caption::ImportPhraseColumn), m_phraseColumn);
    choices->addRow(caption(Caption::ImportTranslationColumn), m_translationColumn);
    choices->addRow(caption(Caption::ImportTranslation2Column), m_translation2Column);
    m_subjectName = new QLineEdit(this);
    m_subjectName->setObjectName(QStringLiteral("subjectName"));
    m_subjectName->setAccessibleName(caption(Caption::ImportSubjectName));
    choices->addRow(caption(Caption::ImportSubjectName), m_subjectName);
    m_destination = new QComboBox(this);
    m_destination->setObjectName(QStringLiteral("destination"));
    m_destination->setAccessibleName(caption(Caption::ImportDestination));
    m_destination->addItem(caption(Caption::ImportOwnSubjects), outFolder);
    m_destination->addItem(caption(Caption::ImportOtherFolder));
    choices->addRow(caption(Caption::ImportDestination), m_destination);
    // Offered once the file turns out to bring a review history (an Anki package's log).
    m_history = new QCheckBox(this);
    m_history->setObjectName(QStringLiteral("bringHistory"));
    m_history->setVisible(false);
    choices->addRow(m_history);
    layout->addLayout(choices);
}

QStringList ImportWindow::importFile(const QString& path, QWidget* parent, HistoryKeeper keepHistory)
{
    const AppState& s = app();
    QString file = path;
    if (file.isEmpty()) {
        const QPointer<QWidget> guard(parent);
        file = QFileDialog::getOpenFileName(parent, caption(Caption::ImportChooseFile), QDir::homePath(),
                                            caption(Caption::ImportFileTypes) +
                                                QStringLiteral(" (*.kvtml *.apkg *.txt *.csv *.tsv)"));
        if (file.isEmpty() || (parent && !guard))
            return {};
    }
    const QString folder =
        s.learnerSubjectsFolder.isEmpty() ? s.installedSubjectsFolder : s.learnerSubjectsFolder;
    auto* window = new ImportWindow(file, folder, parent, std::move(keepHistory));
    QStringList made;
    connect(window, &ImportWindow::imported, window,
            [&made, folder](const QStringList& files, const QString& to) {
                if (QDir(to) == QDir(folder))
                    made = files;
            });
    Dialogs::runModal(window);
    return made;
}

ImportWindow::~ImportWindow()
{
    m_cancel = true;
    joinWorker();
}

void ImportWindow::joinWorker()
{
    if (m_worker.joinable())
        m_worker.join();
}

void ImportWindow::runInBackground(std::function<void()> work)
{
    joinWorker();
    m_cancel = false;
    m_running = true;
    m_worker = std::thread(std::move(work));
}

void ImportWindow::showMessage(const QString& text, bool problem)
{
    m_status->setText(text);
    // A refusal is announced to screen readers as the window's description.
    setAccessibleDescription(problem ? text : QString());
}

void ImportWindow::startReading()
{
    m_progress->setRange(0, 0); // busy until the file is read
    showMessage(caption(Caption::ImportReading), false);
    const QString path = m_path;
    const QString folder = m_outFolder;
    runInBackground([this, path, folder] {
        QString error;
        auto read = VocabularyImport::readFor(path, folder, &error);
        std::shared_ptr<VocabularySource> source;
        if (read)
            source = std::make_shared<VocabularySource>(std::move(*read));
        // Queued to the window, and dropped if the window has gone meanwhile.
        QMetaObject::invokeMethod(
            this, [this, source, error] { onRead(source, error); }, Qt::QueuedConnection);
    });
}

void ImportWindow::onRead(std::shared_ptr<VocabularySource> source, const QString& error)
{
    joinWorker();
    m_running = false;
    if (m_cancel) { // cancelled while it read
        QDialog::reject();
        return;
    }
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    if (!source) {
        const QString text = isWordListRefusal(error)
                                 ? caption(Caption::ImportWordList) + QStringLiteral("\n\n") + error
                                 : caption(Caption::ImportRefused) + QStringLiteral("\n\n") + error;
        showMessage(text, true);
        m_cancelButton->setText(caption(Caption::ImportClose));
        return;
    }
    m_source = std::move(source);
    const QString format = m_source->format;
    m_formatLabel->setText(format == QLatin1String("kvtml")          ? caption(Caption::ImportKvtml)
                           : format == QLatin1String("anki-package") ? caption(Caption::ImportAnkiPackage)
                           : format == QLatin1String("anki-package-newest")
                               ? caption(Caption::ImportAnkiPackageNewest)
                               : caption(Caption::ImportAnkiText));
    QStringList languages;
    for (const QString& column : m_source->columns) {
        const QString language = VocabularyImport::languageOf(column);
        if (!language.isEmpty() && !languages.contains(language))
            languages << language;
    }
    m_languagesLabel->setText(languages.isEmpty() ? caption(Caption::ImportLanguagesUnknown)
                                                  : languages.join(QLatin1String(", ")));
    m_subjectName->setText(m_source->title);
    if (m_keepHistory && !m_source->reviews.empty() && !app().CurrentUser.isEmpty()) {
        m_history->setText(caption(Caption::AnkiHistoryQuestion).arg(app().CurrentUser));
        m_history->setAccessibleName(m_history->text());
        m_history->setVisible(true);
    }
    fillPreview();

    // The columns, pre-filled where the file names its languages.
    QStringList names;
    for (int i = 0; i < m_source->columns.size(); ++i) {
        const QString name = m_source->columns.at(i).section(QLatin1Char('|'), 0, 0).trimmed();
        names << (name.isEmpty()
                      ? caption(Caption::ImportColumnNumber).arg(i + 1)
                      : QStringLiteral("%1: %2").arg(caption(Caption::ImportColumnNumber).arg(i + 1), name));
    }
    m_phraseColumn->addItem(caption(Caption::ImportChooseColumn), -1);
    m_translationColumn->addItem(caption(Caption::ImportChooseColumn), -1);
    m_translation2Column->addItem(caption(Caption::ImportNoColumn), -1);
    for (int i = 0; i < names.size(); ++i) {
        for (QComboBox* box : {m_phraseColumn, m_translationColumn, m_translation2Column})
            box->addItem(names.at(i), i);
    }
    if (const auto matched = VocabularyImport::matchedColumns(*m_source, options())) {
        m_phraseColumn->setCurrentIndex(int(matched->indexOf(QStringLiteral("phrase"))) + 1);
        m_translationColumn->setCurrentIndex(int(matched->indexOf(QStringLiteral("translation"))) + 1);
    }
    updateImportButton();
    showMessage(QString(), false);
    m_phraseColumn->setFocus();
}

void ImportWindow::fillPreview()
{
    const int columns = int(m_source->columns.size());
    const int rows = int(std::min<size_t>(m_source->notes.size(), PreviewRows));
    m_preview->setColumnCount(columns);
    m_preview->setRowCount(rows);
    QStringList headers;
    for (int c = 0; c < columns; ++c) {
        const QString name = m_source->columns.at(c).section(QLatin1Char('|'), 0, 0).trimmed();
        headers << (name.isEmpty() ? caption(Caption::ImportColumnNumber).arg(c + 1) : name);
    }
    m_preview->setHorizontalHeaderLabels(headers);
    for (int r = 0; r < rows; ++r) {
        const VocabularyNote& note = m_source->notes[size_t(r)];
        for (int c = 0; c < columns; ++c)
            m_preview->setItem(r, c, new QTableWidgetItem(note.fields.value(c)));
    }
}

void ImportWindow::updateImportButton()
{
    const int phrase = m_phraseColumn->currentData().toInt();
    const int translation = m_translationColumn->currentData().toInt();
    const int translation2 = m_translation2Column->currentData().toInt();
    const bool ready = m_source && !m_running && !m_done && phrase >= 0 && translation >= 0 &&
                       phrase != translation && translation2 != phrase && translation2 != translation;
    m_importButton->setEnabled(ready);
    if (m_source && !m_running && !m_done)
        showMessage(ready ? QString() : caption(Caption::ImportChooseTwoColumns), false);
}

VocabularyImport::Options ImportWindow::options() const
{
    const AppState& s = app();
    VocabularyImport::Options o =
        VocabularyImport::optionsFor(s.edition.ProgramCode, s.edition.LanguageCode, s.edition.StudiedLanguage,
                                     s.edition.InterfaceLanguage);
    o.outFolder = m_destination->currentIndex() == 0 ? m_outFolder : m_otherFolder;
    o.title = m_subjectName->text().trimmed();
    if (!m_history->isHidden() && m_history->isChecked())
        o.learner = app().CurrentUser;
    if (m_source) {
        o.columns = QStringList(m_source->columns.size(), QStringLiteral("skip"));
        const auto set = [&](QComboBox* box, const char* role) {
            const int at = box->currentData().toInt();
            if (at >= 0 && at < o.columns.size())
                o.columns[at] = QString::fromLatin1(role);
        };
        set(m_phraseColumn, "phrase");
        set(m_translationColumn, "translation");
        set(m_translation2Column, "translation2");
    }
    return o;
}

void ImportWindow::onDestinationChosen(int index)
{
    if (index != 1)
        return;
    const QPointer<ImportWindow> self(this);
    const QString folder =
        QFileDialog::getExistingDirectory(this, caption(Caption::ImportDestination), m_outFolder);
    if (!self)
        return;
    if (folder.isEmpty()) {
        m_destination->setCurrentIndex(m_otherFolder.isEmpty() ? 0 : 1);
        return;
    }
    m_otherFolder = folder;
    m_destination->setItemText(1, QDir::toNativeSeparators(folder));
}

void ImportWindow::onImportClicked()
{
    if (Dialogs::isBehindModal(this) || !m_source || m_running || m_done || !m_importButton->isEnabled())
        return;
    VocabularyImport::Options o = options();
    QString error;
    const auto existing = VocabularyImport::existingSubjects(*m_source, o, &error);
    if (!existing) {
        showMessage(caption(Caption::ImportRefused) + QStringLiteral("\n\n") + error, true);
        return;
    }
    if (!existing->isEmpty()) {
        const QPointer<ImportWindow> self(this);
        const auto answer = Dialogs::message(
            this, {QString(),
                   caption(Caption::ImportSubjectsExist) + QStringLiteral("\n\n") +
                       existing->join(QLatin1Char('\n')) + QStringLiteral("\n\n") +
                       caption(Caption::ImportReplaceThem),
                   QMessageBox::Question, QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel});
        if (!self || answer != QMessageBox::Yes)
            return;
    }
    o.replaceExisting = [](const QStringList&) { return true; }; // asked above
    o.progress = [this](const VocabularyImport::Progress& progress) {
        QMetaObject::invokeMethod(
            this, [this, progress] { onProgress(progress); }, Qt::QueuedConnection);
        return !m_cancel.load();
    };
    for (QWidget* w : std::initializer_list<QWidget*>{m_phraseColumn, m_translationColumn, m_translation2Column,
                                                      m_subjectName, m_destination, m_history})
        w->setEnabled(false);
    m_importButton->setEnabled(false);
    m_progress->setRange(0, 0);
    const auto source = m_source;
    runInBackground([this, source, o] {
        QString error;
        auto result = VocabularyImport::run(*source, o, &error);
        QMetaObject::invokeMethod(
            this, [this, result, error] { onFinished(result, error); }, Qt::QueuedConnection);
    });
    m_cancelButton->setFocus();
}

void ImportWindow::onProgress(const VocabularyImport::Progress& progress)
{
    if (!m_running || progress.stage != VocabularyImport::Progress::Writing)
        return;
    m_progress->setRange(0, std::max(1, progress.total));
    m_progress->setValue(progress.done);
    if (!m_cancel)
        showMessage(caption(Caption::ImportWriting)
                        .arg(progress.done)
                        .arg(progress.total)
                        .arg(progress.notes)
                        .arg(progress.spoken),
                    false);
}

void ImportWindow::onFinished(const std::optional<VocabularyImport::Result>& result, const QString& error)
{
    joinWorker();
    m_running = false;
    m_done = true;
    m_progress->setRange(0, 1);
    m_progress->setValue(result ? 1 : 0);
    m_cancelButton->setText(caption(Caption::ImportClose));
    m_cancelButton->setEnabled(true);
    m_cancelButton->setFocus();
    if (!result) {
        showMessage(m_cancel ? caption(Caption::ImportCancelled)
                             : caption(Caption::ImportRefused) + QStringLiteral("\n\n") + error,
                    !m_cancel);
        return;
    }
    QString summary = result->summary();
    if (m_keepHistory && !result->reviews.empty()) {
        QString problem;
        const auto added = m_keepHistory(*result, &problem);
        summary += QStringLiteral("\n\n") +
                   (added ? caption(Caption::AnkiHistoryAdded).arg(*added).arg(int(result->reviews.size()) - *added)
                          : caption(Caption::AnkiHistoryNotAdded) + QLatin1Char(' ') + problem);
    }
    showMessage(summary, false);
    emit imported(result->subjects,
                  QDir(m_destination->currentIndex() == 0 ? m_outFolder : m_otherFolder).path());
}

void ImportWindow::onCancelClicked()
{
    if (m_running) {
        // The import stops after the subject it is writing and removes what it wrote.
        m_cancel = true;
        m_cancelButton->setEnabled(false);
        showMessage(caption(Caption::ImportCancelling), false);
        return;
    }
    if (Dialogs::isBehindModal(this))
        return;
    QDialog::reject();
}

void ImportWindow::reject()
{
    // Escape and the window's close button are Cancel.
    onCancelClicked();
}
