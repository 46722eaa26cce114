#include "PhrasesToStudy.h"

#include "app/AppState.h"
#include "app/Dialogs.h"
#include "content/MessageWindow.h"
#include "content/WebPage.h"
#include "platform/Files.h"
#include "study/RandomPhrases.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectProblem.h"
#include "subjects/SubjectTree.h"

#include <QStringList>

#include <optional>

namespace {
const QString Valid = QStringLiteral("VALID");
const QString VirtualSubjectTag = QStringLiteral("VIRTUALSUBJECT");
} // namespace

std::vector<PhraseRef> phraseRefs(const QTreeWidgetItem* subject)
{
    std::vector<PhraseRef> refs;
    if (!subject)
        return refs;
    for (int i = 0; i < subject->childCount(); ++i) {
        const QTreeWidgetItem* child = subject->child(i);
        bool ok = false;
        const qint64 number = SubjectTree::Tag_Item(1, child).toLongLong(&ok);
        const QString file = SubjectTree::Tag_Item(0, child);
        if (ok && !file.isEmpty() && file != QLatin1String("IGNORE"))
            refs.push_back({file, number});
    }
    return refs;
}

int Get_Phraes_to_Study(const QTreeWidgetItem* subject, QWidget* parent, bool* failed,
                        StudySet::SourceSubjects* sources)
{
    const QString field1 = SubjectTree::Tag_Item(1, subject);
    const StudySet::Result result = field1 == VirtualSubjectTag
                                        ? StudySet::collectPhrases(app(), phraseRefs(subject), sources)
                                        : StudySet::collectInstalledSubject(app(), field1);
    if (failed)
        *failed = !result.error.isEmpty();
    if (!result.error.isEmpty())
        Dialogs::reportError(QStringLiteral("Get_Phraes_to_Study"), result.error, parent);
    return result.count;
}

bool Check_Virtual_Subject(SubjectTree* tree, QTreeWidgetItem* subject, QWidget* parent,
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
        if (child->text(0) == s.captions(127) || SubjectTree::Tag_Item(0, child) == QLatin1String("IGNORE")) {
            valid = 0; // the placeholder of a virtual subject without phrases
            break;
        }
        const QString file = SubjectTree::Tag_Item(0, child);
        if (sources->exists(file)) {
            if (sources->verdict(file) == Valid)
                ++valid;
            else if (!unusable.contains(file))
                unusable << file;
            continue;
        }
        const QString phrase = SubjectTree::Tag_Item(3, child);
        if (!missingPhrases.contains(phrase))
            missingPhrases << phrase;
        if (!missingSubjects.contains(file.toUpper()))
            missingSubjects << file.toUpper();
    }
    if (!missingSubjects.join(QString()).trimmed().isEmpty()) {
        const QString text =
            s.captions(133) + QStringLiteral("\n\n") + missingPhrases.join(QLatin1Char('\n')) +
            QStringLiteral("\n\n") + s.captions(134) + QStringLiteral("\n\n") +
            missingSubjects.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + s.captions(135);
        if (Dialogs::askYesNo(parent, text, s.captions(144)))
            OpenWebPage(QStringLiteral("subjects.htm"));
    }
    subject->setExpanded(false);
    // Nothing can be studied: each source file that is there but cannot be used says why,
    // as a missing one does.
    if (valid == 0) {
        for (const QString& file : std::as_const(unusable))
            Report_Subject_Problem(file, sources->verdict(file), parent);
    }
    if (valid == 0) {
        tree->setImages(subject, SubjectTree::FailedSubjectImage, SubjectTree::FailedSubjectImage);
        return false;
    }
    return true;
}

void Get_Random_Phrases(SubjectTree* tree, QTreeWidgetItem* set)
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
        const QString text = s.captions(148) + QStringLiteral("\n\n") + file;
        if (invalidPicks == 11) {
            MessageWindow::showStatus(text, 2000, 0, s.captions(119));
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
        Dialogs::inform(window, s.captions(140));
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
            {d.subjectFile, QString::number(p.pkPhraseNo), p.tPhrase, p.tTranslation, p.tTranslation2},
            SubjectTree::PhraseImage);
    }
    window->setEnabled(true);
}
