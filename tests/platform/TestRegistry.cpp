#include "platform/Registry.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTest>

// The settings store that stands in for the registry: text and numbers kept apart,
// defaults for anything missing, failures silent.
class TestRegistry : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void textRoundTrip_data();
    void textRoundTrip();
    void emptyTextIsNotDefault();
    void neverWrittenGivesDefault();
    void numberRoundTrip_data();
    void numberRoundTrip();
    void typesStayApart();
    void deleteSubKey();
    void badKeysAreSilent();
    void editionKeyFile();

private:
    const QString m_key = QStringLiteral("Software\\Parlanto\\prltest");
};

void TestRegistry::initTestCase()
{
    // Before any QSettings exists: its folder is fixed on first use.
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(RegistryFileFor(m_key).contains(QStringLiteral(".qttest")));
}

void TestRegistry::init()
{
    RegDeleteSubKey(m_key);
}

void TestRegistry::cleanupTestCase()
{
    RegDeleteSubKey(m_key);
    QFile::remove(RegistryFileFor(m_key));
}

void TestRegistry::textRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("folder") << QStringLiteral("/usr/lib/parlanto/Subjects/");
    QTest::newRow("comma") << QStringLiteral("one, two");
    QTest::newRow("blanks around") << QStringLiteral("  padded  ");
    QTest::newRow("quotes") << QStringLiteral("say \"ciao\"");
    QTest::newRow("ini syntax") << QStringLiteral("a=b;c #d [e]");
    QTest::newRow("backslashes") << QStringLiteral("C:\\Program Files\\");
    QTest::newRow("at sign") << QStringLiteral("@Invalid()");
    QTest::newRow("line break") << QStringLiteral("two\r\nlines");
    QTest::newRow("accents") << QStringLiteral("perché è così");
    QTest::newRow("date") << QStringLiteral("2024-05-01");
}

void TestRegistry::textRoundTrip()
{
    QFETCH(QString, text);
    RegSaveString(m_key, QStringLiteral("Value"), text);
    QCOMPARE(RegGetString(m_key, QStringLiteral("Value"), QStringLiteral("default")), text);
    // Written to the file, not only kept in memory.
    QSettings file(RegistryFileFor(m_key), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("Value")).toString(), text);
}

void TestRegistry::emptyTextIsNotDefault()
{
    RegSaveString(m_key, QStringLiteral("Empty"), QString());
    const QString back = RegGetString(m_key, QStringLiteral("Empty"), QStringLiteral("default"));
    QVERIFY(back.isEmpty());
    RegSaveString(m_key, QStringLiteral("Empty"), QStringLiteral("x"));
    RegSaveString(m_key, QStringLiteral("Empty"), QStringLiteral(""));
    QCOMPARE(RegGetString(m_key, QStringLiteral("Empty"), QStringLiteral("default")), QString());
}

void TestRegistry::neverWrittenGivesDefault()
{
    QCOMPARE(RegGetString(m_key, QStringLiteral("Missing"), QStringLiteral("default")),
             QStringLiteral("default"));
    QCOMPARE(RegGetString(m_key, QStringLiteral("Missing")), QString());
    QCOMPARE(RegGetDword(m_key, QStringLiteral("Missing"), 7u), 7u);
    QCOMPARE(RegGetDword(m_key, QStringLiteral("Missing")), 0u);
    QCOMPARE(
        RegGetString(m_key + QStringLiteral("\\NoSuchKey"), QStringLiteral("Missing"), QStringLiteral("d")),
        QStringLiteral("d"));
}

void TestRegistry::numberRoundTrip_data()
{
    QTest::addColumn<quint32>("number");
    QTest::newRow("zero") << 0u;
    QTest::newRow("one") << 1u;
    QTest::newRow("largest") << 0xFFFFFFFFu;
    QTest::newRow("days") << 20240501u;
}

void TestRegistry::numberRoundTrip()
{
    QFETCH(quint32, number);
    RegSaveDword(m_key, QStringLiteral("Number"), number);
    QCOMPARE(RegGetDword(m_key, QStringLiteral("Number"), 12345u), number);
}

void TestRegistry::typesStayApart()
{
    // A number read as text gives the default, not the digits.
    RegSaveDword(m_key, QStringLiteral("N"), 42);
    QCOMPARE(RegGetString(m_key, QStringLiteral("N"), QStringLiteral("default")), QStringLiteral("default"));
    // Text that looks like a number is still text.
    RegSaveString(m_key, QStringLiteral("T"), QStringLiteral("42"));
    QCOMPARE(RegGetDword(m_key, QStringLiteral("T"), 9u), 9u);
    // Writing the other type replaces the value: one name, one type.
    RegSaveString(m_key, QStringLiteral("N"), QStringLiteral("now text"));
    QCOMPARE(RegGetDword(m_key, QStringLiteral("N"), 9u), 9u);
    QCOMPARE(RegGetString(m_key, QStringLiteral("N")), QStringLiteral("now text"));
    RegSaveDword(m_key, QStringLiteral("T"), 5);
    QCOMPARE(RegGetString(m_key, QStringLiteral("T"), QStringLiteral("d")), QStringLiteral("d"));
    QCOMPARE(RegGetDword(m_key, QStringLiteral("T")), 5u);
    // The name under which numbers are kept is not itself a text value.
    QCOMPARE(RegGetString(m_key, QStringLiteral("dword"), QStringLiteral("d")), QStringLiteral("d"));
}

void TestRegistry::deleteSubKey()
{
    const QString sub = m_key + QStringLiteral("\\Sub");
    RegSaveString(m_key, QStringLiteral("Kept"), QStringLiteral("yes"));
    RegSaveString(sub, QStringLiteral("Gone"), QStringLiteral("soon"));
    RegSaveDword(sub, QStringLiteral("GoneToo"), 3);
    QCOMPARE(RegGetString(sub, QStringLiteral("Gone")), QStringLiteral("soon"));

    RegDeleteSubKey(sub);
    QCOMPARE(RegGetString(sub, QStringLiteral("Gone"), QStringLiteral("d")), QStringLiteral("d"));
    QCOMPARE(RegGetDword(sub, QStringLiteral("GoneToo"), 1u), 1u);
    QCOMPARE(RegGetString(m_key, QStringLiteral("Kept")), QStringLiteral("yes"));

    RegDeleteSubKey(m_key);
    QCOMPARE(RegGetString(m_key, QStringLiteral("Kept"), QStringLiteral("d")), QStringLiteral("d"));
    RegDeleteSubKey(m_key + QStringLiteral("\\NeverMade")); // nothing to delete: silent
}

void TestRegistry::badKeysAreSilent()
{
    const QStringList bad = {QString(), QStringLiteral("Software"), QStringLiteral("Software\\Parlanto"),
                             QStringLiteral("Software\\Parlanto\\..\\x"),
                             QStringLiteral("Software\\..\\..\\x")};
    for (const QString& key : bad) {
        RegSaveString(key, QStringLiteral("V"), QStringLiteral("t"));
        RegSaveDword(key, QStringLiteral("V"), 1);
        QCOMPARE(RegGetString(key, QStringLiteral("V"), QStringLiteral("d")), QStringLiteral("d"));
        QCOMPARE(RegGetDword(key, QStringLiteral("V"), 2u), 2u);
        QVERIFY(RegistryFileFor(key).isEmpty());
        RegDeleteSubKey(key);
    }
    RegSaveString(m_key, QString(), QStringLiteral("t")); // no value name: not written
    QCOMPARE(RegGetString(m_key, QString(), QStringLiteral("d")), QStringLiteral("d"));
}

void TestRegistry::editionKeyFile()
{
    const QString key = EditionRegistryKey(QStringLiteral("prlita"));
    QCOMPARE(key, QStringLiteral("Software\\Parlanto\\prlita"));
    QVERIFY2(RegistryFileFor(key).endsWith(QStringLiteral("/Parlanto/prlita.conf")),
             qPrintable(RegistryFileFor(key)));
}

QTEST_GUILESS_MAIN(TestRegistry)
#include "TestRegistry.moc"
