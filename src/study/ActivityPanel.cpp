#include "ActivityPanel.h"

#include "state/CaptionId.h"
#include "study/ReviewNode.h"

#include "content/ActivityPictures.h"
#include "content/LoadingLog.h"
#include "content/WebPage.h"
#include "platform/ProcessEndWatch.h"
#include "platform/Sound.h"
#include "platform/Twips.h"
#include "state/AppState.h"
#include "study/ActivityInputFile.h"
#include "study/ActivityNames.h"
#include "study/ActivityPrograms.h"
#include "study/HandOverFiles.h"
#include "study/PhrasesToStudy.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectProblem.h"
#include "subjects/SubjectTree.h"
#include "widgets/Dialogs.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <optional>

// ---- ActivityButton ----

ActivityButton::ActivityButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
}

void ActivityButton::setPictures(const QPixmap& normal, const QPixmap& hover)
{
    m_normal = normal;
    m_hover = false;
    m_hoverPicture = hover;
    update();
}

void ActivityButton::showHover(bool on)
{
    if (m_hover != on) {
        m_hover = on;
        update();
    }
}

QSize ActivityButton::sizeHint() const
{
    return Twips::size(ActivityPanel::ButtonWidth, ActivityPanel::ButtonHeight);
}

void ActivityButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPixmap& picture = m_hover && !m_hoverPicture.isNull() ? m_hoverPicture : m_normal;
    if (!picture.isNull()) {
        p.drawPixmap(rect(), picture);
    } else {
        // Without pictures the button still says what it starts.
        p.fillRect(rect(), palette().button());
        p.setPen(palette().buttonText().color());
        p.drawText(rect(), Qt::AlignCenter, text());
    }
    if (isDown()) {
        p.setPen(QPen(palette().windowText().color(), 1));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (hasFocus()) {
        // A dark frame with a light one inside: clear on the picture's light and dark parts.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0x10, 0x10, 0x10), 3));
        p.drawRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
        p.setPen(QPen(Qt::white, 2));
        p.drawRect(QRectF(rect()).adjusted(4, 4, -4, -4));
    }
}

void ActivityButton::enterEvent(QEnterEvent* event)
{
    showHover(true);
    emit hovered();
    QAbstractButton::enterEvent(event);
}

void ActivityButton::leaveEvent(QEvent* event)
{
    showHover(false);
    QAbstractButton::leaveEvent(event);
}

void ActivityButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        animateClick();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

// ---- ActivityPanel ----

namespace {
// The main window is enabled again on every way out of a launch.
class DisabledWhile
{
public:
    explicit DisabledWhile(QWidget* w) : m_w(w) { m_w->setEnabled(false); }
    ~DisabledWhile() { m_w->setEnabled(true); }

private:
    QWidget* m_w;
};
} // namespace

ActivityPanel::ActivityPanel(SubjectTree* tree, QWidget* parent) : QWidget(parent), m_tree(tree)
{
    if (tree)
        m_review = new ReviewNode(tree, this);
    m_running = new ProcessEndWatch(this);
    connect(m_running, &ProcessEndWatch::ended, this, &ActivityPanel::activityEnded);
    setObjectName(QStringLiteral("PicActsHolder"));
    m_picActs = new QWidget(this);
    m_picActs->setObjectName(QStringLiteral("picActs"));
    m_picActs->setMouseTracking(true);
    m_picActs->installEventFilter(this);
    setMouseTracking(true);
    m_scroll = new QScrollBar(Qt::Vertical, this);
    m_scroll->setObjectName(QStringLiteral("VScroll"));
    m_scroll->hide();
    connect(m_scroll, &QScrollBar::valueChanged, this, &ActivityPanel::onScrolled);
    m_more = new QPushButton(m_picActs);
    m_more->setObjectName(QStringLiteral("lblMoreActs"));
    m_more->setFlat(true);
    m_more->setCursor(Qt::PointingHandCursor);
    m_more->setStyleSheet(
        QStringLiteral("QPushButton { border: 2px solid transparent; padding: 1px 3px; text-align: left;"
                       " color: palette(link); }"
                       "QPushButton:hover, QPushButton:focus { text-decoration: underline; }"
                       "QPushButton:focus { border-color: palette(link); }"));
    m_more->hide();
    connect(m_more, &QPushButton::clicked, this, [] { OpenWebPage(QStringLiteral("activities.htm")); });
    m_none = new QLabel(m_picActs);
    m_none->setObjectName(QStringLiteral("lblNoActivities"));
    m_none->hide();
    setMinimumSize(Twips::size(2 * ColumnStep + 300, HolderHeight));
}

ActivityButton* ActivityPanel::button(int index) const
{
    return index >= 0 && index < int(m_buttons.size()) ? m_buttons[index] : nullptr;
}

void ActivityPanel::loadActivities()
{
    if (m_built)
        return;
    m_built = true;
    const AppState& s = app();
    m_programs = ActivityPrograms::find(s.activitiesFolder);
    const int n = int(m_programs.size());
    setAccessibleName(s.captions(Caption::Activities));
    m_scroll->setAccessibleName(s.captions(Caption::ScrollActivities));
    m_more->setText(s.captions(Caption::MoreActivities));
    m_more->setAccessibleName(s.captions(Caption::MoreActivities));

    if (n == 0) {
        m_none->setText(s.captions(Caption::NoActivityInstalled));
        m_none->setGeometry(Twips::rect(0, 0, 2 * ColumnStep, 400));
        m_none->show();
        placeMoreLink(800);
        m_more->show();
        m_picActs->setGeometry(0, 0, Twips::toPixels(2 * ColumnStep), Twips::toPixels(1600));
        return;
    }

    // Two columns 2550 twips apart and rows 640 twips apart; exactly two activities make
    // one column of two rows.
    const int columns = n == 2 ? 1 : 2;
    for (int i = 0; i < n; ++i) {
        auto* b = new ActivityButton(m_picActs);
        b->setObjectName(QStringLiteral("btnAct_%1").arg(i));
        // Named as its picture reads once the picture file is read below; until then by its program.
        b->setText(m_programs.at(i));
        b->setAccessibleName(m_programs.at(i));
        b->setToolTip(m_programs.at(i));
        b->setGeometry(
            Twips::rect((i % columns) * ColumnStep, (i / columns) * RowStep, ButtonWidth, ButtonHeight));
        b->installEventFilter(this);
        connect(b, &QAbstractButton::pressed, this,
                [] { Sound::PlayInterfaceSound(QStringLiteral("click")); });
        connect(b, &QAbstractButton::released, this,
                [] { Sound::PlayInterfaceSound(QStringLiteral("click")); });
        connect(b, &QAbstractButton::clicked, this, [this, i] { onActivityClicked(i); });
        connect(b, &ActivityButton::hovered, this, [this, b] {
            showNormalPictures(b);
            emit hovered();
        });
        b->show();
        m_buttons.push_back(b);
    }
    const int lastTop = ((n - 1) / columns) * RowStep;
    const int panelHeight = lastTop + ButtonHeight + 500;
    m_picActs->setGeometry(0, 0, Twips::toPixels(2 * ColumnStep), Twips::toPixels(panelHeight));
    placeMoreLink(lastTop + 800);
    m_more->show();
    m_picActs->setMinimumHeight(m_more->geometry().bottom() + 1);
    m_picActs->resize(m_picActs->width(),
                      std::max(Twips::toPixels(panelHeight), m_more->geometry().bottom() + 1));
    m_scroll->setVisible(n >= 18);
    m_scroll->setRange(0, std::max(0, m_picActs->height() - Twips::toPixels(HolderHeight)));
    m_scroll->setValue(0);
    placeScrollBar();

    const QString column = s.edition.pictureColumn();
    for (int i = 0; i < n; ++i) {
        LoadingLog::addLine(s.captions(Caption::LoadingItem) + QLatin1Char(' ') + m_programs.at(i));
        QString error;
        const auto pictures = loadActivityPictures(
            ActivityPrograms::pictureDatabase(s.activitiesFolder, m_programs.at(i)), column, &error);
        if (!pictures) {
            pictureProblem(m_programs.at(i), error);
            return;
        }
        m_buttons[i]->setPictures(QPixmap::fromImage(pictures->normal), QPixmap::fromImage(pictures->hover));
        // Named as its picture reads, in the learner's language; the lists of results take the
        // name from here instead of opening the file again.
        ActivityNames::remember(m_programs.at(i), pictures->name);
        const QString name = ActivityNames::displayName(m_programs.at(i));
        m_buttons[i]->setText(name);
        m_buttons[i]->setAccessibleName(name);
        m_buttons[i]->setToolTip(name);
        LoadingLog::addLine(s.captions(Caption::Ok));
    }
}

void ActivityPanel::placeMoreLink(int topTwips)
{
    // As wide and high as its text needs at any scale, within the panel's two columns.
    const QSize text = m_more->sizeHint();
    const int width =
        std::min(std::max(Twips::toPixels(ButtonWidth), text.width()), Twips::toPixels(2 * ColumnStep));
    m_more->setGeometry(0, Twips::toPixels(topTwips), width, std::max(Twips::toPixels(300), text.height()));
}

void ActivityPanel::pictureProblem(const QString& program, const QString& error)
{
    const AppState& s = app();
    // Which file, and why: the error names the picture file.
    Dialogs::message(this, {s.edition.EditionTitle,
                            s.captions(Caption::ActivityPicturesUnreadable) + QStringLiteral("\n") + program +
                                QStringLiteral("\n\n") + error + QStringLiteral("\n\n") +
                                s.captions(Caption::ActivityPicturesDamaged),
                            QMessageBox::Critical, QMessageBox::Ok});
    Dialogs::message(this, {s.edition.EditionTitle, s.captions(Caption::ProgramWillClose),
                            QMessageBox::Warning, QMessageBox::Ok});
    emit quitRequested();
}

void ActivityPanel::showNormalPictures(const ActivityButton* except)
{
    for (ActivityButton* b : m_buttons) {
        if (b != except)
            b->showHover(false);
    }
}

void ActivityPanel::placeScrollBar()
{
    const int w = m_scroll->sizeHint().width();
    m_scroll->setGeometry(width() - w, 0, w, height());
}

void ActivityPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeScrollBar();
    m_scroll->setRange(0, std::max(0, m_picActs->height() - height()));
}

void ActivityPanel::onScrolled(int value)
{
    m_picActs->move(0, -value);
}

void ActivityPanel::ensureShown(QWidget* w)
{
    if (!m_scroll->isVisible())
        return;
    const QRect r = w->geometry(); // in picActs
    const int top = -m_picActs->y();
    if (r.top() < top)
        m_scroll->setValue(r.top());
    else if (r.bottom() > top + height())
        m_scroll->setValue(r.bottom() - height() + 1);
}

bool ActivityPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_picActs && event->type() == QEvent::MouseMove) {
        showNormalPictures();
        emit hovered();
    } else if (event->type() == QEvent::FocusIn) {
        if (auto* w = qobject_cast<QWidget*>(watched); w && w->parentWidget() == m_picActs)
            ensureShown(w);
    }
    return QWidget::eventFilter(watched, event);
}

void ActivityPanel::startReview(const QString& usersDatabase, const QString& learner)
{
    if (m_review)
        m_review->start(usersDatabase, learner);
}

void ActivityPanel::onActivityClicked(int index)
{
    const AppState& s = app();
    if (index < 0 || index >= int(m_programs.size()) || Dialogs::isBehindModal(this))
        return;
    QWidget* main = window();
    QTreeWidgetItem* node = m_tree ? m_tree->currentItem() : nullptr;
    // The review: its phrases as they are due now, or why there are none.
    if (m_review && m_review->owns(node)) {
        node = m_review->prepareStudy(main);
        if (!node)
            return;
    }
    const SubjectNode chosen = SubjectNode::of(node);
    if (!node || chosen.is(SubjectNode::Kind::Folder) || chosen.is(SubjectNode::Kind::Placeholder)) {
        Dialogs::message(main, {s.captions(Caption::Subject), s.captions(Caption::ChooseSubjectNotFolder),
                                QMessageBox::Warning, QMessageBox::Ok});
        return;
    }
    QTreeWidgetItem* subject = chosen.isStudied() ? node : node->parent();
    if (!subject)
        return;
    if (subject != node)
        m_tree->setCurrentItem(subject);

    DisabledWhile disabled(main);
    const SubjectNode studied = SubjectNode::of(subject);
    // Each source subject of a virtual subject is opened and checked once for the launch.
    std::optional<StudySet::SourceSubjects> sources;
    if (studied.isStudiedByPhrase()) {
        // Its phrases are the nodes under it, which only a click has loaded so far.
        if (subject->childCount() == 0 && m_loadPhrases)
            m_loadPhrases(subject);
        sources.emplace(app(), phraseRefs(subject));
        if (!checkVirtualSubject(m_tree, subject, main, &*sources))
            return;
    } else {
        const QString verdict = checkSubject(studied.file);
        if (verdict != QLatin1String("VALID")) {
            reportSubjectProblem(studied.file, verdict, main);
            m_tree->setImages(subject, SubjectTree::FailedSubjectImage, SubjectTree::FailedSubjectImage);
            return;
        }
    }
    bool failed = false;
    const int count = collectPhrasesToStudy(subject, main, &failed, sources ? &*sources : nullptr);
    if (failed)
        return;
    if (count < 1) {
        Dialogs::inform(main, s.captions(Caption::NoPhrasesToStudy));
        return;
    }
    app().StudyPhraseCount = count;
    QString error;
    // The random subject's title keeps a leading blank in the tree only: results of a subject
    // belong together however it was chosen.
    if (!writeActivityFile(app(), subject->text(0).trimmed(), &error)) {
        HandOverFiles::discardNewest(app());
        Dialogs::reportError(QStringLiteral("Write_Activity_File"), error, main);
        return;
    }
    // The hand-over folder is the activity's working folder: the input file's bare name
    // names it there.
    qint64 pid = 0;
    if (!ActivityPrograms::start(s.activitiesFolder + m_programs.at(index), {s.activityInputFileName()},
                                 s.handOverFolder, &pid, &error)) {
        HandOverFiles::discardNewest(app());
        Dialogs::inform(main,
                        s.captions(Caption::ActivityCannotStart) + QLatin1Char(' ') + m_programs.at(index) +
                            QStringLiteral("\n\n") + error,
                        QMessageBox::Critical);
        return;
    }
    HandOverFiles::setStarted(app(), pid);
    m_running->watch(pid);
}
