#include "SubjectSelection.h"
#include "state/CaptionId.h"

#include "state/AppState.h"
#include "study/PhrasesToStudy.h"
#include "study/RandomPhrases.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectProblem.h"
#include "subjects/SubjectTitle.h"
#include "subjects/SubjectTree.h"
#include "widgets/Dialogs.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>

SubjectSelection::SubjectSelection(SubjectTree* tree, QObject* parent) : QObject(parent), m_tree(tree)
{
    connect(tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { onNodeClicked(item); });
    tree->installEventFilter(this);
}

bool SubjectSelection::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tree && event->type() == QEvent::KeyPress) {
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key();
        QTreeWidgetItem* item = m_tree->currentItem();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && item) {
            onNodeClicked(item);
            // A phrase is heard, by every learner: what a double click does. A phrase whose
            // subject was refused has moved the selection to its subject.
            if (SubjectTree::isPhrase(item) && m_tree->currentItem() == item)
                emit m_tree->listenRequested(item);
            return true;
        }
        // Right opens a subject to its phrases, which a click loads.
        if (key == Qt::Key_Right && item && item->childCount() == 0 && SubjectNode::of(item).isStudied()) {
            loadPhrases(item);
            item->setExpanded(true);
            return true;
        }
        // Shift+F10 is the menu key's twin.
        if (key == Qt::Key_F10 && keyEvent->modifiers() == Qt::ShiftModifier && item) {
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, m_tree->visualItemRect(item).center(),
                                   m_tree->viewport()->mapToGlobal(m_tree->visualItemRect(item).center()));
            QCoreApplication::sendEvent(m_tree, &menu);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void SubjectSelection::onNodeClicked(QTreeWidgetItem* node)
{
    if (!node)
        return;
    const AppState& s = app();
    QWidget* window = m_tree->window();
    const QStringList& files = m_tree->installedFiles();
    if (files.isEmpty()) {
        Dialogs::inform(window, s.captions(Caption::NoSubjectsInstalled) + QStringLiteral(" \n\n") +
                                    s.installedSubjectsFolder + QStringLiteral("\n\n") +
                                    s.captions(Caption::PutSubjectFilesHere) + QStringLiteral("\n"));
        return;
    }
    const SubjectNode n = SubjectNode::of(node);
    if (n.is(SubjectNode::Kind::Placeholder)) {
        if (node->parent())
            m_tree->setCurrentItem(node->parent());
        return;
    }
    QTreeWidgetItem* parent = node->parent();

    if (n.is(SubjectNode::Kind::Folder)) {
        if (node == m_tree->randomSubjectFolder()) {
            if (node->childCount() == 0) {
                const int r = std::clamp(int(RandomPhrases::draw() * files.size()), 0, int(files.size()) - 1);
                QTreeWidgetItem* child =
                    m_tree->addNode(node, properTitle(files.at(r), app().edition.InterfaceLanguage),
                                    SubjectNode::makeSubject(files.at(r)), SubjectTree::SubjectImage,
                                    SubjectTree::SelectedSubjectImage);
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
                QTreeWidgetItem* set =
                    m_tree->addNode(node, s.captions(Caption::TenRandomPhrases), SubjectNode::makePhraseSet(),
                                    SubjectTree::SubjectImage, SubjectTree::SelectedSubjectImage);
                m_tree->setCurrentItem(set);
                node->setExpanded(true);
                m_tree->setImages(node, SubjectTree::OpenFolder, SubjectTree::NoImage);
                randomPhrases(m_tree, set);
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

    if (n.isStudied()) {
        loadPhrases(node);
        return;
    }

    // A phrase: its subject must belong to this edition.
    const QString verdict = checkSubject(n.file);
    if (verdict != QLatin1String("VALID")) {
        reportSubjectProblem(n.file, verdict, window);
        if (parent)
            m_tree->setCurrentItem(parent);
    }
}

void SubjectSelection::loadPhrases(QTreeWidgetItem* subject)
{
    QTreeWidgetItem* parent = subject ? subject->parent() : nullptr;
    if (!parent)
        return;
    if (parent == m_tree->installedFolder() || parent == m_tree->randomSubjectFolder())
        loadSubjectPhrases(SubjectNode::of(subject).file, subject);
    else if (parent == m_tree->randomPhrasesFolder())
        randomPhrases(m_tree, subject);
    else if (parent == m_tree->reviewFolder())
        return; // filled by the ReviewNode
    else
        loadVirtualPhrases(SubjectNode::of(parent).file, SubjectNode::of(subject).number, subject);
}

void SubjectSelection::showLoadProblem(QTreeWidgetItem* node, const QString& fileName, const QString& error)
{
    const AppState& s = app();
    QWidget* window = m_tree->window();
    m_tree->setImages(node, SubjectTree::FailedSubjectImage, SubjectTree::FailedSubjectImage);
    Dialogs::message(
        window, {s.captions(Caption::Subject),
                 fileName.toUpper() + s.captions(Caption::CouldNotBeRead) + QStringLiteral("\n\n") + error,
                 QMessageBox::Warning, QMessageBox::Ok});
    window->setEnabled(true);
    if (node->parent())
        m_tree->setCurrentItem(node->parent());
}

void SubjectSelection::loadSubjectPhrases(const QString& fileName, QTreeWidgetItem* node)
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
        m_tree->addNode(
            node, p.tTranslation,
            SubjectNode::makePhrase(fileName, p.phraseNo, p.tPhrase, p.tTranslation, p.tTranslation2),
            SubjectTree::PhraseImage);
    window->setEnabled(true);
}

void SubjectSelection::loadVirtualPhrases(const QString& fileName, qint64 nParent, QTreeWidgetItem* node)
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
        m_tree->addNode(node, s.captions(Caption::NoPhrasesYet), SubjectNode::makePlaceholder(),
                        SubjectTree::NoImage);
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
            SubjectNode::makePhrase(p.tfilename, p.phraseNo, p.tPhrase, p.tTranslation, p.tTranslation2),
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
            Dialogs::message(m_tree->window(), {s.captions(Caption::Subject),
                                                fileName.toUpper() + s.captions(Caption::CouldNotBeRead) +
                                                    QStringLiteral("\n\n") + why,
                                                QMessageBox::Warning, QMessageBox::Ok});
        }
    }
}
