#pragma once

#include "ActivityInput.h"
#include "ActivityRun.h"
#include "platform/Database.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <vector>

// A users database with the results table, as the launcher ships it.
inline void writeUsersDatabase(const QString& path)
{
    QString error;
    auto db = Database::open(path, Database::TemplatePassword, Database::Mode::Create, &error);
    QVERIFY2(db, qPrintable(error));
    QVERIFY(
        db->exec("CREATE TABLE tblscores (pkScoreID INTEGER PRIMARY KEY AUTOINCREMENT, tName TEXT, tActivity "
                 "TEXT, tSubject TEXT, textScore TEXT, numberScore REAL, nDate TEXT, nTime TEXT)"));
}

// Rows of tblscores as "name|activity|subject|textScore|numberScore|isNullText".
inline QStringList scoreRows(const QString& path)
{
    QStringList rows;
    QString error;
    auto db = Database::open(path, Database::TemplatePassword, Database::Mode::ReadOnly, &error);
    if (!db)
        return {error};
    Statement st = db->prepare("SELECT tName, tActivity, tSubject, textScore, numberScore, nDate, nTime FROM "
                               "tblscores ORDER BY pkScoreID");
    while (st.step() == Statement::Step::Row) {
        rows << QStringList{st.text(0),
                            st.text(1),
                            st.text(2),
                            st.isNull(3) ? "<null>" : st.text(3),
                            QString::number(st.value(4).toDouble()),
                            QString::number(st.text(5).size()) + QLatin1Char(':') +
                                QString::number(st.text(6).size())}
                    .join('|');
    }
    return rows;
}

// Presses button on the next message box as soon as it shows, keeping its text in *text; the
// box must offer No as its default.
inline void answerNextBox(QMessageBox::StandardButton button, QString* text)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        *text = box->text();
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
        box->button(button)->click();
        timer->stop();
        timer->deleteLater();
    });
    timer->start();
}

// An activity window's controls, found by their objectNames as a user's tool finds them.
inline QPushButton* button(const QObject* window, const QString& name)
{
    return TestSupport::child<QPushButton>(window, qPrintable(name));
}
inline QLabel* label(const QObject* window, const char* name)
{
    return TestSupport::child<QLabel>(window, name);
}
inline QLineEdit* answerLine(const QObject* window)
{
    return TestSupport::child<QLineEdit>(window, "txtAnswer");
}
// Buttons named prefix0, prefix1 ... (Listening's choices, Dictation's letters), in order.
inline std::vector<QPushButton*> numberedButtons(const QObject* window, const QString& prefix)
{
    std::vector<QPushButton*> found;
    while (auto* b = window->findChild<QPushButton*>(prefix + QString::number(found.size())))
        found.push_back(b);
    return found;
}
// The run's grades as the stored integers, 0 where a phrase was not graded.
inline std::vector<int> storedGrades(const ActivityRun& run)
{
    std::vector<int> grades;
    for (const auto& g : run.grades())
        grades.push_back(g ? Grades::stored(*g) : 0);
    return grades;
}

// The texts of a Spanish window that address the learner as "tú" (the launcher says "usted"):
// what the labels, buttons and their tooltips and accessible texts say.
inline QStringList informalSpanish(const QWidget* window)
{
    static const QRegularExpression informal(QStringLiteral("\\b(tu|tus|tú|te|puedes|has|sabías)\\b"),
                                             QRegularExpression::CaseInsensitiveOption |
                                                 QRegularExpression::UseUnicodePropertiesOption);
    QStringList found;
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        QStringList texts{w->toolTip(), w->accessibleName(), w->accessibleDescription()};
        if (auto* l = qobject_cast<const QLabel*>(w))
            texts << l->text();
        if (auto* b = qobject_cast<const QPushButton*>(w))
            texts << b->text();
        for (const QString& t : texts)
            if (t.contains(informal))
                found << t;
    }
    return found;
}
