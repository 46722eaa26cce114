#include "SplashWindow.h"
#include "state/CaptionId.h"

#include "BuildInfo.h"
#include "content/LoadingLog.h"
#include "platform/Twips.h"
#include "state/AppState.h"
#include "widgets/Pictures.h"
#include "widgets/TiledBackground.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextCursor>

#include <algorithm>

namespace {
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, const QRect& geometry,
                  int pointSize, const QColor& colour)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAccessibleName(text);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(geometry);
    label->setWordWrap(true);
    QFont f = label->font();
    f.setPointSize(pointSize);
    label->setFont(f);
    TiledBackground::setTextColour(label, colour);
    return label;
}
} // namespace

SplashWindow::SplashWindow(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAccessibleName(app().edition.EditionTitle);
    setWindowTitle(app().edition.EditionTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    resize(Twips::size(7200, 5400));
    TiledBackground::install(this, QStringLiteral("splash"));

    m_logo = new QLabel(this);
    m_logo->setObjectName(QStringLiteral("imgLogo"));
    m_logo->setAccessibleName(app().edition.EditionTitle);
    m_logo->setGeometry(Twips::rect(240, 240, 1800, 1800));
    m_logo->setPixmap(Pictures::editionLogo(app().edition.row, m_logo->size()));

    // The catch phrase twice, one label a little offset behind the other as its shadow.
    const QString phrase = catchPhrase();
    m_catchy[1] = makeLabel(this, QStringLiteral("lblCatchyWord_1"), phrase,
                            Twips::rect(2295, 495, 4700, 900), 18, QColor(0x10, 0x10, 0x30));
    m_catchy[0] = makeLabel(this, QStringLiteral("lblCatchyWord_0"), phrase,
                            Twips::rect(2280, 480, 4700, 900), 18, Qt::white);
    const QColor ink = TiledBackground::ink();
    m_version = makeLabel(this, QStringLiteral("lblVersion"), versionText(),
                          Twips::rect(2280, 1500, 2000, 300), 9, ink);
    m_copyright = makeLabel(this, QStringLiteral("lblCopyRight"), QString::fromUtf8(BuildInfo::Copyright),
                            Twips::rect(2280, 1800, 4700, 300), 8, ink);
    m_loading = makeLabel(this, QStringLiteral("lblLoading"), app().captions(Caption::LoadingPleaseWait),
                          Twips::rect(240, 2220, 6700, 300), 10, ink);

    m_status = new QPlainTextEdit(this);
    m_status->setObjectName(QStringLiteral("txtStatus"));
    m_status->setAccessibleName(app().captions(Caption::LoadingPleaseWait));
    m_status->setReadOnly(true);
    m_status->setUndoRedoEnabled(false); // the log is replaced, never edited back
    // Keys belong to the window: any key closes the splash.
    m_status->setFocusPolicy(Qt::NoFocus);
    m_status->setGeometry(Twips::rect(240, 2580, 6720, 2580));

    QPointer<SplashWindow> self(this);
    LoadingLog::setSink([self](const QString& line) {
        if (self)
            self->addStatusLine(line);
    });
}

QString SplashWindow::versionText()
{
    return QStringLiteral("v.%1.%2.%3")
        .arg(BuildInfo::VersionMajor)
        .arg(BuildInfo::VersionMinor)
        .arg(BuildInfo::VersionRevision);
}

QString SplashWindow::catchPhrase()
{
    return app().captions(Caption::HaveFun) + QLatin1Char(' ') + app().edition.EditionTitle.mid(9) +
           QLatin1Char('!');
}

namespace {
// More lines than the log box can show; older ones stay in the log, not on screen.
constexpr int ShownLines = 64;

QString newestFirst(const QStringList& lines, qsizetype count)
{
    const qsizetype last = lines.size() - 1;
    // One allocation: in a heap left in pieces by thousands of tree nodes, each step of a
    // growing string is a slow search for room.
    qsizetype length = count;
    for (qsizetype i = last; i > last - count; --i)
        length += lines.at(i).size();
    QString text;
    text.reserve(length);
    for (qsizetype i = last; i > last - count; --i) {
        if (i != last)
            text += QLatin1Char('\n');
        text += lines.at(i);
    }
    return text;
}
} // namespace

void SplashWindow::addStatusLine(const QString& line)
{
    m_lines.append(line);
    // The box takes the new lines when events next run: loaders let them run at most once
    // per frame interval, so it is laid out once per frame, not once per line.
    if (m_showPending)
        return;
    m_showPending = true;
    QMetaObject::invokeMethod(this, &SplashWindow::showNewestLines, Qt::QueuedConnection);
}

void SplashWindow::showNewestLines()
{
    m_showPending = false;
    // The old lines are replaced in one edit, without the empty document in between that
    // setPlainText goes through: once the box is full the document's size stays the same,
    // so its scroll bar is not redrawn at every update.
    QTextCursor cursor(m_status->document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(newestFirst(m_lines, std::min<qsizetype>(m_lines.size(), ShownLines)));
    cursor.endEditBlock();
    m_status->verticalScrollBar()->setValue(0); // the newest line in view, as setPlainText left it
}

QString SplashWindow::statusText() const
{
    return newestFirst(m_lines, m_lines.size());
}

void SplashWindow::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    LoadingLog::setSink(nullptr);
    close();
}
