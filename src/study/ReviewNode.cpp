#include "ReviewNode.h"

#include "state/AppState.h"
#include "study/ReviewSet.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTree.h"
#include "widgets/Dialogs.h"

#include <QDate>
#include <QLocale>
#include <QScopedValueRollback>

#include <vector>

ReviewNode::ReviewNode(SubjectTree* tree, QObject* parent) : QObject(parent), m_tree(tree)
{
    connect(&m_loader, &ReviewLoader::loaded, this, [this] {
        if (!m_loader.error().isEmpty())
            qWarning("The review cannot be read: %s", qPrintable(m_loader.error()));
        else if (m_loader.schedule() && m_loader.schedule()->skippedRows() > 0)
            qWarning("%d per-phrase rows of the learner cannot be replayed and were skipped",
                     m_loader.schedule()->skippedRows());
        show(m_loader.schedule());
    });
    // A rebuilt tree has a new, empty review folder: it shows what was read already.
    connect(tree, &SubjectTree::foldersCreated, this, [this] { show(m_loader.schedule()); });
    // New weights: the schedule is read again with them, in the background as at login.
    connect(&m_fitter, &FsrsFitter::fitted, this, [this](const QString& learner) {
        if (learner == m_learner && !m_preparing)
            m_loader.start(m_usersDatabase, m_learner);
    });
    connect(tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (m_tree && item == m_tree->reviewFolder() && m_loader.schedule() && !m_preparing)
            update();
    });
}

void ReviewNode::activityEnded()
{
    if (!m_loader.schedule() || m_preparing)
        return;
    update();
    m_fitter.fitIfDue(m_usersDatabase, m_learner);
}

void ReviewNode::start(const QString& usersDatabase, const QString& learner)
{
    m_due = -1;
    show(nullptr);
    m_fitter.stop();
    m_usersDatabase = usersDatabase;
    m_learner = learner;
    m_loader.start(usersDatabase, learner);
}

bool ReviewNode::owns(const QTreeWidgetItem* node) const
{
    if (!m_tree || !node)
        return false;
    for (const QTreeWidgetItem* n = node; n; n = n->parent()) {
        if (n == m_tree->reviewFolder())
            return true;
    }
    return false;
}

void ReviewNode::update()
{
    QString error;
    show(m_loader.current(&error));
}

void ReviewNode::show(const ReviewSchedule* schedule)
{
    if (!m_tree || !m_tree->reviewFolder())
        return;
    const AppState& s = app();
    QTreeWidgetItem* folder = m_tree->reviewFolder();
    const bool wasCurrent = owns(m_tree->currentItem()) && m_tree->currentItem() != folder;
    // The phrases go: the folder keeps the selection rather than letting it jump elsewhere.
    if (wasCurrent)
        m_tree->setCurrentItem(folder);
    qDeleteAll(folder->takeChildren());
    if (!schedule) {
        folder->setText(0, s.captions(Caption::ReviewSubject));
        return;
    }
    const PhraseMemory& memory = schedule->memory();
    const qint64 today = PhraseMemory::today();
    // Phrases that can no longer be studied are counted apart and never chosen.
    const ReviewSet::Choice choice = ReviewSet::choose(s, memory, today, StudiedAtOnce);
    m_due = choice.studyable;
    m_unstudyable = choice.unstudyable;
    m_nextDay = memory.nextDueDay(today);
    m_studied = !memory.items().empty();
    folder->setText(0, m_due > 0 ? s.captions(Caption::ReviewDueCount).arg(m_due)
                                 : s.captions(Caption::ReviewNothingDue));
    // Listed as any subject's phrases are, straight under the folder.
    for (const ReviewSet::Choice::Chosen& c : choice.phrases) {
        const Phrase& p = c.phrase;
        m_tree->addNode(
            folder, p.tTranslation,
            SubjectNode::makePhrase(c.subjectFile, p.phraseNo, p.tPhrase, p.tTranslation, p.tTranslation2),
            SubjectTree::PhraseImage);
    }
    if (m_unstudyable > 0)
        m_tree->addNode(folder, s.captions(Caption::ReviewUnstudyableCount).arg(m_unstudyable),
                        SubjectNode::makePlaceholder(), SubjectTree::NoImage);
}

QTreeWidgetItem* ReviewNode::prepareStudy(QWidget* window)
{
    const AppState& s = app();
    QString error;
    const ReviewSchedule* schedule = m_loader.current(&error);
    if (!schedule) {
        Dialogs::reportError(QStringLiteral("ReviewNode"), error, window);
        return nullptr;
    }
    show(schedule);
    QTreeWidgetItem* folder = m_tree ? m_tree->reviewFolder() : nullptr;
    std::vector<const QTreeWidgetItem*> phrases;
    for (int i = 0; folder && i < folder->childCount(); ++i) {
        if (SubjectNode::of(folder->child(i)).is(SubjectNode::Kind::Phrase))
            phrases.push_back(folder->child(i));
    }
    if (m_due <= 0 || phrases.empty()) {
        QString text = m_nextDay ? s.captions(Caption::ReviewNextOn)
                                       .arg(s.edition.interfaceLocale().toString(
                                           QDate::fromJulianDay(*m_nextDay), s.captions(Caption::LongDateFormat)))
                                 : s.captions(Caption::ReviewNothingStudied);
        // Due phrases that cannot be studied say so, not only that nothing else is due.
        if (m_unstudyable > 0)
            text = s.captions(Caption::ReviewOnlyUnstudyable) + QStringLiteral("\n\n") +
                   s.captions(Caption::ReviewUnstudyableCount).arg(m_unstudyable) + QStringLiteral("\n\n") +
                   text;
        Dialogs::inform(window, text);
        return nullptr;
    }
    {
        // Opened here, the folder must not be filled again under the phrases about to be studied.
        const QScopedValueRollback<bool> preparing(m_preparing, true);
        folder->setExpanded(true);
    }
    // The set studied is the folder's phrases under the subject "Review", in no tree: the
    // folder's own text changes with the count.
    m_studySet = std::make_unique<QTreeWidgetItem>(QStringList{s.captions(Caption::ReviewSubject)});
    SubjectNode::set(m_studySet.get(), SubjectNode::makePhraseSet());
    for (const QTreeWidgetItem* phrase : phrases)
        m_studySet->addChild(phrase->clone());
    if (!owns(m_tree->currentItem()))
        m_tree->setCurrentItem(folder);
    return m_studySet.get();
}
