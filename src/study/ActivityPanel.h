#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <vector>

class ProcessEndWatch;
class QLabel;
class QPushButton;
class QScrollBar;
class ReviewNode;
class QTreeWidgetItem;
class SubjectTree;

// A picture button of the activity panel: the normal picture, the hover picture while the
// pointer is over it, a single-line border while it is pressed. Space and Enter press it.
class ActivityButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit ActivityButton(QWidget* parent = nullptr);
    void setPictures(const QPixmap& normal, const QPixmap& hover);
    void showHover(bool on);
    QSize sizeHint() const override;

signals:
    void hovered();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPixmap m_normal;
    QPixmap m_hoverPicture;
    bool m_hover = false;
};

// The right side of the main window (PicActsHolder): one picture button per activity
// program of the activities folder, in two columns on the panel picActs, which scrolls
// with VScroll once there are eighteen or more; and the launch of an activity on the
// subject chosen in the tree.
class ActivityPanel : public QWidget
{
    Q_OBJECT
public:
    // Layout in twips.
    static constexpr int ColumnStep = 2550;
    static constexpr int RowStep = 640;
    static constexpr int ButtonWidth = 2400;
    static constexpr int ButtonHeight = 600;
    static constexpr int HolderHeight = 5000;

    ActivityPanel(SubjectTree* tree, QWidget* parent = nullptr);

    // Finds the activity programs and builds their buttons (once, at start-up).
    void loadActivities();
    // Starts activity number index on the subject selected in the tree.
    void onActivityClicked(int index);

    const QStringList& activities() const { return m_programs; }
    int LastActivityIndex() const { return int(m_programs.size()) - 1; }
    ActivityButton* button(int index) const;
    QPushButton* lblMoreActs() const { return m_more; }

    // Loads the phrases of a virtual subject node that was chosen without a click (with the
    // arrow keys), as a click would, before it is checked and studied.
    void setPhraseLoader(std::function<void(QTreeWidgetItem*)> load) { m_loadPhrases = std::move(load); }
    // The tree's review folder: read for the learner who logged in (see ReviewNode).
    void startReview(const QString& usersDatabase, const QString& learner);
    ReviewNode* reviewNode() const { return m_review; }

signals:
    // The pointer moved over the panel (the main window resets its side menu timers).
    void hovered();
    // An activity's pictures cannot be read: the program cannot go on.
    void quitRequested();
    // An activity this panel started has ended (its results, if any, are written by then).
    void activityEnded();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showNormalPictures(const ActivityButton* except = nullptr);
    void placeScrollBar();
    void ensureShown(QWidget* w);
    void onScrolled(int value);
    void pictureProblem(const QString& program, const QString& error);
    void placeMoreLink(int topTwips);

    SubjectTree* m_tree;
    ReviewNode* m_review = nullptr;
    ProcessEndWatch* m_running = nullptr;
    QWidget* m_picActs = nullptr;
    QScrollBar* m_scroll = nullptr;
    QPushButton* m_more = nullptr;
    QLabel* m_none = nullptr;
    QStringList m_programs;
    std::vector<ActivityButton*> m_buttons;
    std::function<void(QTreeWidgetItem*)> m_loadPhrases;
    bool m_built = false;
};
