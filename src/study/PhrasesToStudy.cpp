#include "PhrasesToStudy.h"
#include "state/CaptionId.h"

#include "content/WebPage.h"
#include "platform/Files.h"
#include "state/AppState.h"
#include "study/RandomPhrases.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectProblem.h"
#include "subjects/SubjectTree.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QStringList>

#include <optional>

namespace {
const QString Valid = QStringLiteral("VALID");
} // namespace

std::vector<PhraseRef> phraseRefs(const QTreeWidgetItem* subject)
{
    std::vector<PhraseRef> refs;
    if (!subject)
        return refs;
    for (int i = 0; i < subject->childCount(); ++i) {
        const SubjectNode phrase = SubjectNode::of(subject->child(i));
        if (phrase.is(SubjectNode::Kind::Phrase) && !phrase.file.isEmpty())
            refs.push_back({phrase.file, phrase.number});
    }
    return refs;
}

int collectPhrasesToStudy(const QTreeWidgetItem* subject, QWidget* parent, bool* failed,
                          StudySet::SourceSubjects* sources)
{
    const SubjectNode node = SubjectNode::of(subject);
    const StudySet::Result result = node.isStudiedByPhrase()
                                        ? StudySet::collectPhrases(app(), phraseRefs(subject), sources)
                                        : StudySet::collectInstalledSubject(app(), node.file);
    if (failed)
        *failed = !result.error.isEmpty();
    if (!result.error.isEmpty())
        Dialogs::reportError(QStringLiteral("Get_Phraes_to_Study"), result.error, parent);
    return result.count;
}

bool checkVirtualSubject(SubjectTree* tree, QTreeWidgetItem* subject, QWidget* parent,
                         StudySet::SourceSubjects* sources)
{
    const AppState& s = app();
    std::optional<StudySet::SourceSubjects> own;
    if (!sources)
        sources = &own.emplace(s, phraseRefs(subject));
    int valid = 0;
    QStringList missingPhrases;
    QStringList missingSubjects;
    QStringList unusable; // present, but damaged or of another edition
    for (int i = 0; i < subject->childCount(); ++i) {
        const QTreeWidgetItem* child = subject->child(i);
        const SubjectNode phrase = SubjectNode::of(child);
        if (child->text(0) == s.captions(Caption::NoPhrasesYet) ||
            phrase.is(SubjectNode::Kind::Placeholder)) {
            valid = 0; // the placeholder of a virtual subject without phrases
            break;
        }
        const QString file = phrase.file;
        if (sources->exists(file)) {
            if (sources->verdict(file) == Valid)
                ++valid;
            else if (!unusable.contains(file))
                unusable << file;
            continue;
        }
        if (!missingPhrases.contains(phrase.translation))
            missingPhrases << phrase.translation;
        if (!missingSubjects.contains(file.toUpper()))
            missingSubjects << file.toUpper();
    }
    if (!missingSubjects.join(QString()).trimmed().isEmpty()) {
        const QString text = s.captions(Caption::PhrasesWithoutSubject) + QStringLiteral("\n\n") +
                             missingPhrases.join(QLatin1Char('\n')) + QStringLiteral("\n\n") +
                             s.captions(Caption::MissingSubjectFiles) + QStringLiteral("\n\n") +
                             missingSubjects.join(QLatin1Char('\n')) + QStringLiteral("\n\n") +
                             s.captions(Caption::OpenSubjectsPage);
        if (Dialogs::askYesNo(parent, text, s.captions(Caption::SubjectsMissing)))
            OpenWebPage(QStringLiteral("subjects.htm"));
    }
    subject->setExpanded(false);
    // Nothing can be studied: each source file that is there but cannot be used says why,
    // as a missing one does.
    if (valid == 0) {
        for (const QString& file : std::as_const(unusable))
            reportSubjectProblem(file, sources->verdict(file), parent);
    }
    if (valid == 0) {
        tree->setImages(subject, SubjectTree::FailedSubjectImage, SubjectTree::FailedSubjectImage);
        return false;
    }
    return true;
}

void randomPhrases(SubjectTree* tree, QTreeWidgetItem* set)
{
    if (!set || set->childCount() > 0)
        return;
    const AppState& s = app();
    QWidget* window = tree->window();
    window->setEnabled(false);
    const QStringList& files = tree->installedFiles();
    // After more than ten excluded picks the learner sees which subjects are skipped.
    auto progress = [&s](int invalidPicks, const QString& file) {
        if (invalidPicks <= 10)
            return;
        const QString text = s.captions(Caption::SubjectSkipped) + QStringLiteral("\n\n") + file;
        if (invalidPicks == 11) {
            MessageWindow::showStatus(text, 2000, 0, s.captions(Caption::RandomPhrases));
            Pause(1);
        } else {
            MessageWindow::setStatusText(text);
        }
    };
    const RandomPhrases::Result drawn =
        RandomPhrases::drawPhrases([&s](const QString& file) { return installedSubjectPath(s, file); }, files,
                                   s.edition.ProgramCode, AppState::MaxStudyPhrases, progress);
    MessageWindow::unload();
    if (drawn.allExcluded) {
        Dialogs::inform(window, s.captions(Caption::NoValidSubjectForRandom));
        window->setEnabled(true);
        QTreeWidgetItem* folder = set->parent();
        delete set;
        if (folder) {
            tree->setImages(folder, SubjectTree::ClosedFolder, SubjectTree::NoImage);
            tree->setCurrentItem(folder);
        }
        return;
    }
    for (const RandomPhrases::DrawnPhrase& d : drawn.phrases) {
        const Phrase& p = d.phrase;
        tree->addNode(
            set, p.tTranslation,
            SubjectNode::makePhrase(d.subjectFile, p.phraseNo, p.tPhrase, p.tTranslation, p.tTranslation2),
            SubjectTree::PhraseImage);
    }
    window->setEnabled(true);
}
