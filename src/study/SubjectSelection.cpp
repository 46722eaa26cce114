#include "SubjectSelection.h"

#include "app/AppState.h"
#include "app/Dialogs.h"
#include "study/PhrasesToStudy.h"
#include "study/RandomPhrases.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectProblem.h"
#include "subjects/SubjectTitle.h"
#include "subjects/SubjectTree.h"

#include <QKeyEvent>

SubjectSelection::SubjectSelection(SubjectTree* tree, QObject* parent) : QObject(parent), m_tree(tree)
{
    connect(tree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { TreeFolders_NodeClick(item); });
    tree->installEventFilter(this);
}

bool SubjectSelection::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
            m_tree->currentItem()) {
            TreeFolders_NodeClick(m_tree->currentItem());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void SubjectSelection::TreeFolders_NodeClick(QTreeWidgetItem* node)
{
    if (!node)
        return;
    const AppState& s = app();
    QWidget* window = m_tree->window();
    const QStringList& files = m_tree->installedFiles();
    if (files.isEmpty()) {
        Dialogs::inform(window, s.captions(131) + QStringLiteral(" \n\n") + s.installedSubjectsFolder +
                                    QStringLiteral("\n\n") + s.captions(132) + QStringLiteral("\n"));
        return;
    }
    if (SubjectTree::tag(node) == QStringList{QStringLiteral("IGNORE")}) {
        if (node->parent())
            m_tree->setCurrentItem(node->parent());
        return;
    }
    const QString kind = SubjectTree::Tag_Item(0, node);
    QTreeWidgetItem* parent = node->parent();

    if (kind == QLatin1String("FOLDER")) {
        if (node == m_tree->randomSubjectFolder()) {
            if (node->childCount() == 0) {
                const int r = std::clamp(int(RandomPhrases::draw() * files.size()), 0, int(files.size()) - 1);
                QTreeWidgetItem* child =
                    m_tree->addNode(node, Proper_Title(files.at(r)), {QStringLiteral("SUBJECT"), files.at(r)},
                                    SubjectTree::SubjectImage, SubjectTree::SelectedSubjectImage);
                m_tree->setCurrentItem(child);
                node->setExpanded(true);
                m_tree->setImages(node, SubjectTree::OpenFolder, SubjectTree::NoImage);
            } else {
                qDeleteAll(node->takeChildren());
                node->setExpanded(false);
                m_tree->setImages(node, SubjectTree::ClosedFolder, SubjectTree::NoImage);
            }
        } else if (node == m_tree->randomPhrasesFolder()) {
            if (node->childCount() == 0) {
                QTreeWidgetItem* set = m_tree->addNode(
                    node, s.captions(118), {QStringLiteral("SUBJECT"), QStringLiteral("VIRTUALSUBJECT")},
                    SubjectTree::SubjectImage, SubjectTree::SelectedSubjectImage);
                m_tree->setCurrentItem(set);
                node->setExpanded(true);
                m_tree->setImages(node, SubjectTree::OpenFolder, SubjectTree::NoImage);
                Get_Random_Phrases(m_tree, set);
            } else {
                qDeleteAll(node->takeChildren());
                node->setExpanded(false);
                m_tree->setImages(node, SubjectTree::ClosedFolder, SubjectTree::NoImage);
            }
        } else {
            node->setExpanded(!node->isExpanded());
        }
        return;
    }

    if (kind == QLatin1String("SUBJECT")) {
        Load_Phrases(node);
        return;
    }

    // A phrase: its subject must belong to this edition.
    const QString verdict = Check_Subject(kind);
    if (verdict != QLatin1String("VALID")) {
        Report_Subject_Problem(kind, verdict, window);
        if (parent)
            m_tree->setCurrentItem(parent);
    }
}

void SubjectSelection::Load_Phrases(QTreeWidgetItem* subject)
{
    QTreeWidgetItem* parent = subject ? subject->parent() : nullptr;
    if (!parent)
        return;
    if (parent == m_tree->installedFolder() || parent == m_tree->randomSubjectFolder())
        Load_Subject_Phrases(SubjectTree::Tag_Item(1, subject), subject);
    else if (parent == m_tree->randomPhrasesFolder())
        Get_Random_Phrases(m_tree, subject);
    else
        Load_Virtual_Phrases(SubjectTree::Tag_Item(1, parent), SubjectTree::Tag_Item(2, subject).toLongLong(),
                             subject);
}

void SubjectSelection::showLoadProblem(QTreeWidgetItem* node, const QString& fileName, const QString& error)
{
    const AppState& s = app();
    QWidget* window = m_tree->window();
    m_tree->setImages(node, SubjectTree::FailedSubjectImage, SubjectTree::FailedSubjectImage);
    Dialogs::message(window,
                     {s.captions(103), fileName.toUpper() + s.captions(6) + QStringLiteral("\n\n") + error,
                      QMessageBox::Warning, QMessageBox::Ok});
    window->setEnabled(true);
    if (node->parent())
        m_tree->setCurrentItem(node->parent());
}

void SubjectSelection::Load_Subject_Phrases(const QString& fileName, QTreeWidgetItem* node)
{
    if (!node || node->childCount() > 0)
        return;
    QWidget* window = m_tree->window();
    window->setEnabled(false);
    QString error;
    const QString path = installedSubjectPath(fileName);
    const auto phrases = path.isEmpty() ? std::nullopt : InstalledSubject::phrases(path, false, &error);
    if (path.isEmpty())
        error = QStringLiteral("\"%1\" is not the name of a subject file").arg(fileName);
    if (!phrases) {
        showLoadProblem(node, fileName, error);
        return;
    }
    for (const Phrase& p : *phrases)
        m_tree->addNode(node, p.tTranslation,
                        {fileName, QString::number(p.pkPhraseNo), p.tPhrase, p.tTranslation, p.tTranslation2},
                        SubjectTree::PhraseImage);
    window->setEnabled(true);
}

void SubjectSelection::Load_Virtual_Phrases(const QString& fileName, qint64 nParent, QTreeWidgetItem* node)
{
    if (!node || node->childCount() > 0)
        return;
    const AppState& s = app();
    QString error;
    const auto phrases = VirtualSubjectFile::phrases(s.virtualSubjectsFolder + fileName, nParent, &error);
    if (!phrases) {
        showLoadProblem(node, fileName, error);
        return;
    }
    if (phrases->empty()) {
        m_tree->addNode(node, s.captions(127), {QStringLiteral("IGNORE")}, SubjectTree::NoImage);
        return;
    }
    int broken = 0;
    for (const VirtualPhrase& p : *phrases) {
        // A row without its subject file or phrase number points nowhere: leave it out.
        if (p.fileNameIsNull || p.phraseNoIsNull || p.tfilename.isEmpty()) {
            ++broken;
            continue;
        }
        m_tree->addNode(
            node, p.tTranslation,
            {p.tfilename, QString::number(p.nPhraseNo), p.tPhrase, p.tTranslation, p.tTranslation2},
            SubjectTree::VirtualPhraseImage);
    }
    if (broken > 0) {
        const QString why =
            QStringLiteral("%1 phrase(s) of this virtual subject name no subject file or no phrase "
                           "number and were left out.")
                .arg(broken);
        if (node->childCount() == 0) {
            showLoadProblem(node, fileName, why);
        } else {
            Dialogs::message(m_tree->window(),
                             {s.captions(103),
                              fileName.toUpper() + s.captions(6) + QStringLiteral("\n\n") + why,
                              QMessageBox::Warning, QMessageBox::Ok});
        }
    }
}
