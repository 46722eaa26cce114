#include "common/TemplateBuilder.h"
#include "content/LoadingLog.h"
#include "content/MessageRotation.h"
#include "content/TemplateContent.h"
#include "platform/Database.h"
#include "state/Captions.h"
#include "state/Edition.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
TemplateSource::LinkRow row(const QString& text, const QString& link, bool bL1 = true, bool bL2 = true)
{
    return {text, QStringLiteral("es: ") + text, link, bL1, bL2};
}

TemplateSource sourceWithCaptions(int count)
{
    TemplateSource s;
    for (int n = 1; n <= count; ++n)
        s.captions.append({QStringLiteral("en %1").arg(n), QStringLiteral("es %1").arg(n)});
    s.tips.append({QStringLiteral("prlita"), {QStringLiteral("tip one")}});
    return s;
}

QString shippedTemplate()
{
    return QStringLiteral(PARLANTO_PROGRAM_DIR "/Parlanto.tpl");
}
} // namespace

class TestTemplateContent : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { LoadingLog::setSink(nullptr); }
    void captionBounds();
    void captionsUnreadable_data();
    void captionsUnreadable();
    void levelColumnFalseIsNotLoaded();
    void splashLogOrderWithTwelveMessages();
    void tipsStopAtNull();
    void rotationTakesTurns();
    void pointSizes_data();
    void pointSizes();
    void shippedTemplateRoles();
    void shippedTemplateUsersTables();
    void badSourcesAreRefused();

private:
    QString build(const TemplateSource& source)
    {
        const QString path = m_dir.filePath(QStringLiteral("t%1.tpl").arg(++m_count));
        QString error;
        if (!TemplateBuilder::build(path, source, &error))
            qWarning() << error;
        return path;
    }
    QTemporaryDir m_dir;
    int m_count = 0;
};

void TestTemplateContent::captionBounds()
{
    const QString path = build(sourceWithCaptions(150));
    Captions c;
    QString error;
    QVERIFY2(TemplateContent::loadCaptions(path, QStringLiteral("English"), &c, &error), qPrintable(error));
    QCOMPARE(c.upperBound(), 151);
    QCOMPARE(c(0), QString(""));
    QCOMPARE(c(1), QStringLiteral("en 1"));
    QCOMPARE(c(149), QStringLiteral("en 149"));
    QCOMPARE(c(150), QStringLiteral("en 150"));
    QCOMPARE(c(151), QString(""));
    QCOMPARE(c(-1), QString(""));
    QVERIFY(TemplateContent::loadCaptions(path, QStringLiteral("Spanish"), &c, &error));
    QCOMPARE(c(149), QStringLiteral("es 149"));
}

void TestTemplateContent::captionsUnreadable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("not a database") << "garbage";
    QTest::newRow("no caption table") << "notable";
}

void TestTemplateContent::captionsUnreadable()
{
    QFETCH(QString, kind);
    const QString path = m_dir.filePath(QStringLiteral("bad-%1.tpl").arg(kind));
    if (kind == QLatin1String("garbage")) {
        TestSupport::writeGarbage(path);
    } else if (kind == QLatin1String("notable")) {
        QString error;
        auto db = Database::open(path, Database::TemplatePassword, Database::Mode::Create, &error);
        QVERIFY(db);
        QVERIFY(db->exec(QStringLiteral("CREATE TABLE other (x TEXT)")));
    }
    Captions c;
    c.setTexts({QStringLiteral("stale")});
    QString error;
    QVERIFY(!TemplateContent::loadCaptions(path, QStringLiteral("English"), &c, &error));
    QVERIFY(!error.isEmpty());
    // The program still has an error heading and usable folder names.
    QCOMPARE(c(1), QString(""));
    QVERIFY(!c.errorHeading().isEmpty());
    QCOMPARE(c.installedSubjectsFolderName(), QStringLiteral("Subjects"));
    QCOMPARE(c.virtualSubjectsFolderName(), QStringLiteral("MySubjects"));
}

void TestTemplateContent::levelColumnFalseIsNotLoaded()
{
    TemplateSource s = sourceWithCaptions(30);
    s.systemMessages = {row(QStringLiteral("shown"), QStringLiteral("a.htm")),
                        row(QStringLiteral("hidden at level 2"), QStringLiteral("b.htm"), true, false),
                        row(QStringLiteral("only level 2"), QString(), false, true)};
    s.menu = {row(QStringLiteral("menu hidden"), QStringLiteral("x.htm"), true, false),
              row(QStringLiteral("menu shown"), QStringLiteral("y.htm"))};
    const QString path = build(s);
    Captions c;
    c.setTexts(QStringList(30, QString()));
    QList<TemplateContent::LinkedText> messages;
    QString error;
    QVERIFY2(TemplateContent::loadSystemMessages(path, QStringLiteral("English"), c, &messages, &error),
             qPrintable(error));
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0].text, QStringLiteral("shown"));
    QCOMPARE(messages[0].link, QStringLiteral("a.htm"));
    QCOMPARE(messages[1].text, QStringLiteral("only level 2"));
    QCOMPARE(messages[1].link, QString(""));

    QList<TemplateContent::LinkedText> menu;
    QVERIFY(TemplateContent::loadMenuLinks(path, QStringLiteral("Spanish"), c, &menu, &error));
    QCOMPARE(menu.size(), 1);
    QCOMPARE(menu[0].text, QStringLiteral("es: menu shown"));
    QCOMPARE(menu[0].link, QStringLiteral("y.htm"));
}

void TestTemplateContent::splashLogOrderWithTwelveMessages()
{
    TemplateSource s = sourceWithCaptions(30);
    for (int i = 1; i <= 12; ++i)
        s.systemMessages << row(QStringLiteral("message %1").arg(i), QString());
    s.menu = {row(QStringLiteral("m1"), QStringLiteral("1.htm")),
              row(QStringLiteral("m2"), QStringLiteral("2.htm"))};
    const QString path = build(s);
    Captions c;
    QString error;
    QVERIFY(c.load(path, QStringLiteral("English"), &error));

    // The splash puts every new line on top.
    QString log = QStringLiteral("earlier line");
    LoadingLog::setSink([&log](const QString& line) { log = line + QLatin1Char('\n') + log; });
    QList<TemplateContent::LinkedText> menu;
    QList<TemplateContent::LinkedText> messages;
    QVERIFY(TemplateContent::loadMenuLinks(path, QStringLiteral("English"), c, &menu, &error));
    QVERIFY(TemplateContent::loadSystemMessages(path, QStringLiteral("English"), c, &messages, &error));
    QCOMPARE(messages.size(), 12);
    QCOMPARE(messages[11].text, QStringLiteral("message 12"));

    QStringList expected;
    for (int i = 12; i >= 1; --i)
        expected << QStringLiteral("en 8") << QStringLiteral("en 23 MSG #00%1").arg(i);
    expected << QStringLiteral("en 8") << QStringLiteral("en 8") << QStringLiteral("earlier line");
    QCOMPARE(log.split(QLatin1Char('\n')), expected);
}

void TestTemplateContent::tipsStopAtNull()
{
    TemplateSource s = sourceWithCaptions(5);
    s.tips = {
        {QStringLiteral("prlita"),
         {QStringLiteral("one"), QStringLiteral("two"), std::nullopt, QStringLiteral("four")}},
        {QStringLiteral("prlito"),
         {QStringLiteral("uno"), QStringLiteral("dos"), QStringLiteral("tres"), QStringLiteral("cuatro")}}};
    const QString path = build(s);
    QStringList tips;
    int tipCount = 0;
    QString error;
    QVERIFY(TemplateContent::loadTips(path, QStringLiteral("prlito"), &tips, &tipCount, &error));
    QCOMPARE(tips, QStringList({"uno", "dos", "tres", "cuatro"}));
    QCOMPARE(tipCount, 5);

    QVERIFY(!TemplateContent::loadTips(path, QStringLiteral("prlita"), &tips, &tipCount, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(tips, QStringList({"one", "two"}));
    QCOMPARE(tipCount, 3);

    // Column names come from the edition table only.
    QVERIFY(!TemplateContent::loadTips(path, QStringLiteral("prlita from tblTips; --"), &tips, &tipCount,
                                       &error));
}

void TestTemplateContent::rotationTakesTurns()
{
    MessageRotation r;
    r.setTips({QStringLiteral("t1"), QStringLiteral("t2")});
    r.setMessages({{QStringLiteral("m1"), QStringLiteral("l1")}, {QStringLiteral("m2"), QString()}});
    r.PendingMessage = QStringLiteral("first");
    int coin = 1;
    r.setCoinFlip([&coin] { return coin; });
    QCOMPARE(r.next().text, QStringLiteral("first"));
    r.textShown(); // coin 1: the first system message
    auto t = r.next();
    QCOMPARE(t.text, QStringLiteral("m1"));
    QCOMPARE(t.link, QStringLiteral("l1"));
    r.textShown();
    QCOMPARE(r.next().text, QStringLiteral("m2"));
    r.textShown(); // wraps to the first message
    QCOMPARE(r.next().text, QStringLiteral("m1"));
    coin = 0; // tips in turn, wrapping
    r.textShown();
    QCOMPARE(r.next().text, QStringLiteral("t1"));
    r.textShown();
    QCOMPARE(r.next().text, QStringLiteral("t2"));
    r.textShown();
    QCOMPARE(r.next().text, QStringLiteral("t1"));

    // Without tips or messages the rotation simply skips them.
    MessageRotation empty;
    empty.setCoinFlip([] { return 1; });
    empty.textShown();
    QCOMPARE(empty.next().text, QString());
}

void TestTemplateContent::pointSizes_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("milliseconds");
    QTest::newRow("empty") << 0 << 8 << 0;
    QTest::newRow("20") << 20 << 20 << 3000;
    QTest::newRow("21") << 21 << 18 << 3150;
    QTest::newRow("49") << 49 << 16 << 7350;
    QTest::newRow("100") << 100 << 12 << 15000;
    QTest::newRow("215") << 215 << 9 << 32250;
    QTest::newRow("216") << 216 << 8 << 32400;
    QTest::newRow("400") << 400 << 8 << 59000;
}

void TestTemplateContent::pointSizes()
{
    QFETCH(int, length);
    QFETCH(int, points);
    QFETCH(int, milliseconds);
    const QString text(length, QLatin1Char('x'));
    QCOMPARE(MessageRotation::pointSize(text), points);
    QCOMPARE(MessageRotation::displayTime(text), milliseconds);
}

void TestTemplateContent::shippedTemplateRoles()
{
    QVERIFY2(QFile::exists(shippedTemplate()), "the build makes Parlanto.tpl");
    for (const QString& language : {QStringLiteral("English"), QStringLiteral("Spanish")}) {
        Captions c;
        QString error;
        QVERIFY2(c.load(shippedTemplate(), language, &error), qPrintable(error));
        QVERIFY(c.rowCount() >= 150);
        for (int n = 1; n <= c.rowCount(); ++n)
            QVERIFY2(!c(n).isEmpty(),
                     qPrintable(QStringLiteral("%1 caption %2 is empty").arg(language).arg(n)));
        QVERIFY(c(8) != c(44));                     // the profile window's mode depends on it
        QVERIFY(c(5).startsWith(QLatin1Char(' '))); // follows a file name
        QVERIFY(c(6).startsWith(QLatin1Char(' '))); // follows a file name
        for (int q : {1, 18, 58, 60, 135})          // Yes/No questions
            QVERIFY2(c(q).endsWith(QLatin1Char('?')), qPrintable(c(q)));
        for (int n : {12, 13, 23, 25, 29, 40, 57, 62, 68}) // something follows: no trailing blank
            QVERIFY2(c(n) == c(n).trimmed(), qPrintable(c(n)));
        QVERIFY(!c(23).endsWith(QLatin1Char('.')) && !c(12).endsWith(QLatin1Char('.')));
        QVERIFY(!c(51).contains(QLatin1Char('\'')) && !c(118).contains(QLatin1Char('\'')));
        QVERIFY(!c(51).startsWith(c(123)));
        QCOMPARE(c(94), QStringLiteral("https://www.example.com/parlanto"));
        QCOMPARE(c(95), QStringLiteral("offline.htm"));
        QCOMPARE(c(67), QStringLiteral("download.htm"));
        QVERIFY(!c(63).isEmpty());
    }
    Captions en;
    Captions es;
    QString error;
    QVERIFY(en.load(shippedTemplate(), QStringLiteral("English"), &error));
    QVERIFY(es.load(shippedTemplate(), QStringLiteral("Spanish"), &error));
    QCOMPARE(en(10), QStringLiteral("Subjects"));
    QCOMPARE(es(10), QStringLiteral("Temas"));
    QCOMPARE(en(11), QStringLiteral("MySubjects"));
    QCOMPARE(es(11), QStringLiteral("MisTemas"));
    QVERIFY(es(25).startsWith(QStringLiteral("¡")));

    // Every edition has tips and none reads a Null; the Italian course has a dozen or more.
    for (const Edition& e : editionTable()) {
        QStringList tips;
        int tipCount = 0;
        QVERIFY2(TemplateContent::loadTips(shippedTemplate(), e.ProgramCode, &tips, &tipCount, &error),
                 qPrintable(error));
        QVERIFY(!tips.isEmpty());
    }
    QStringList italian;
    int tipCount = 0;
    QVERIFY(
        TemplateContent::loadTips(shippedTemplate(), QStringLiteral("prlita"), &italian, &tipCount, &error));
    QVERIFY(QSet<QString>(italian.begin(), italian.end()).size() >= 12);

    QList<TemplateContent::LinkedText> menu;
    QList<TemplateContent::LinkedText> messages;
    QVERIFY(TemplateContent::loadMenuLinks(shippedTemplate(), QStringLiteral("English"), en, &menu, &error));
    QVERIFY(TemplateContent::loadSystemMessages(shippedTemplate(), QStringLiteral("English"), en, &messages,
                                                &error));
    QVERIFY(menu.size() >= 3);
    for (const auto& m : menu)
        QVERIFY(!m.link.isEmpty() && !m.link.contains(QLatin1Char(' ')));
    QVERIFY(messages.size() >= 3);
}

void TestTemplateContent::shippedTemplateUsersTables()
{
    QString error;
    auto db = Database::open(shippedTemplate(), Database::TemplatePassword, Database::Mode::ReadOnly, &error);
    QVERIFY2(db, qPrintable(error));
    for (const QString& table : {QStringLiteral("tblUsers"), QStringLiteral("tblscores")}) {
        Statement st = db->prepare(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table), &error);
        QVERIFY2(st.isValid(), qPrintable(error));
        QCOMPARE(st.step(), Statement::Step::Row);
        QCOMPARE(st.integer(0), 0);
    }
    Statement views =
        db->prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'view' ORDER BY name"));
    QStringList names;
    while (views.step() == Statement::Step::Row)
        names << views.text(0);
    QCOMPARE(names, QStringList({"qryActivities", "qrySubjects"}));
    // Rows that a level does not show are there to be filtered.
    Statement hidden = db->prepare(QStringLiteral("SELECT COUNT(*) FROM tblMenu WHERE bL2 = 0"));
    QCOMPARE(hidden.step(), Statement::Step::Row);
    QVERIFY(hidden.integer(0) >= 1);
}

void TestTemplateContent::badSourcesAreRefused()
{
    const QString src = QStringLiteral(PARLANTO_SOURCE_DIR "/data/template");
    QTemporaryDir dir;
    for (const char* f : {"captions.tsv", "messages.tsv", "menu.tsv", "tips.tsv"})
        QVERIFY(QFile::copy(src + QLatin1Char('/') + QLatin1String(f), dir.filePath(QLatin1String(f))));
    TemplateSource s;
    QString error;
    QVERIFY2(TemplateBuilder::readSources(dir.path(), &s, &error), qPrintable(error));
    QCOMPARE(s.captions.at(4).english.at(0), QLatin1Char(' ')); // leading blanks are kept

    // A gap in the caption numbers would shift every later caption.
    QFile captions(dir.filePath(QStringLiteral("captions.tsv")));
    QVERIFY(captions.open(QIODevice::Append));
    const int rows = int(s.captions.size());
    captions.write(QByteArray::number(rows + 2) + "\tgap\thueco\n");
    captions.close();
    QVERIFY(!TemplateBuilder::readSources(dir.path(), &s, &error));
    QVERIFY2(error.contains(QString::number(rows + 1)), qPrintable(error));
    QCOMPARE(TemplateBuilder::splitTsvLine(QStringLiteral("a\\tb\tc\\\\n\\n\\r")),
             QStringList({QStringLiteral("a\tb"), QStringLiteral("c\\n\n\r")}));
}

QTEST_GUILESS_MAIN(TestTemplateContent)
#include "TestTemplateContent.moc"
