// Every picture of the program loads from its SVG resource, at the sizes the windows use
// and at twice those sizes (200 % screens).
#include "widgets/Pictures.h"

#include <QApplication>
#include <QImage>
#include <QSet>
#include <QTest>

namespace {

// Share of the pixels that are not fully transparent.
double coverage(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    qint64 drawn = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            drawn += qAlpha(image.pixel(x, y)) > 0;
    return image.isNull() ? 0.0 : double(drawn) / (double(image.width()) * image.height());
}

QByteArray pixelsOf(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    return QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
}

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT
private slots:
    void icons_data();
    void icons();
    void learnersAreDistinct();
    void iconsFollowThePixelRatio();
    void disabledIconsLookDifferent();
    void editionLogos();
    void backgrounds_data();
    void backgrounds();
    void menuBullet();
    void numbersOutOfRange();
};

void TestPictures::icons_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("number");
    for (int n = 1; n <= 11; ++n)
        QTest::addRow("tree %d", n) << "tree" << n;
    for (int n = 1; n <= Pictures::LearnerCount; ++n)
        QTest::addRow("learner %d", n) << "learner" << n;
    for (int n = 1; n <= 43; ++n)
        QTest::addRow("administration %d", n) << "admin" << n;
    QTest::addRow("program icon") << "program" << 0;
}

void TestPictures::icons()
{
    QFETCH(QString, kind);
    QFETCH(int, number);
    const QIcon icon = kind == QLatin1String("tree")      ? Pictures::treeImage(number)
                       : kind == QLatin1String("learner") ? Pictures::learner(number)
                       : kind == QLatin1String("admin")   ? Pictures::adminPicture(number)
                                                          : Pictures::programIcon();
    QVERIFY(!icon.isNull());
    for (const int side : {16, 32, 48}) {
        const QPixmap pixmap = icon.pixmap(QSize(side, side), 1.0);
        QVERIFY(!pixmap.isNull());
        QCOMPARE(pixmap.size(), QSize(side, side));
        QVERIFY2(coverage(pixmap) > 0.2,
                 qPrintable(QStringLiteral("%1 %2 at %3 is nearly empty").arg(kind).arg(number).arg(side)));
    }
}

void TestPictures::learnersAreDistinct()
{
    QSet<QByteArray> seen;
    for (int n = 1; n <= Pictures::LearnerCount; ++n)
        seen.insert(pixelsOf(Pictures::learner(n).pixmap(QSize(32, 32), 1.0)));
    QCOMPARE(seen.size(), Pictures::LearnerCount);
    QSet<QByteArray> tree;
    for (int n = 1; n <= 11; ++n)
        tree.insert(pixelsOf(Pictures::treeImage(n).pixmap(QSize(16, 16), 1.0)));
    QCOMPARE(tree.size(), 11);
}

void TestPictures::iconsFollowThePixelRatio()
{
    const QPixmap sharp = Pictures::treeImage(5).pixmap(QSize(16, 16), 2.0);
    QCOMPARE(sharp.size(), QSize(32, 32));
    QCOMPARE(sharp.devicePixelRatio(), 2.0);
    QCOMPARE(sharp.deviceIndependentSize(), QSizeF(16, 16));
    // Drawn afresh at the larger size, not an enlarged 16-pixel picture.
    const QPixmap big = Pictures::treeImage(5).pixmap(QSize(32, 32), 1.0);
    QCOMPARE(pixelsOf(sharp), pixelsOf(big));
}

void TestPictures::disabledIconsLookDifferent()
{
    const QIcon icon = Pictures::learner(7);
    const QPixmap normal = icon.pixmap(QSize(32, 32), 1.0, QIcon::Normal);
    const QPixmap disabled = icon.pixmap(QSize(32, 32), 1.0, QIcon::Disabled);
    QVERIFY(!disabled.isNull());
    QVERIFY(pixelsOf(normal) != pixelsOf(disabled));
}

void TestPictures::editionLogos()
{
    QSet<QByteArray> seen;
    for (int row = 1; row <= 8; ++row) {
        for (const QSize& size : {QSize(150, 50), QSize(300, 100)}) {
            const QPixmap logo = Pictures::editionLogo(row, size);
            QVERIFY(!logo.isNull());
            QCOMPARE(logo.deviceIndependentSize().toSize(), size);
            QVERIFY(coverage(logo) > 0.15);
        }
        // A size of another shape keeps the picture's proportions, centred.
        QCOMPARE(Pictures::editionLogo(row, QSize(100, 100)).deviceIndependentSize().toSize(),
                 QSize(100, 100));
        const QPixmap own = Pictures::editionLogo(row, QSize());
        QCOMPARE(own.deviceIndependentSize().toSize(), QSize(240, 80));
        seen.insert(pixelsOf(own));
    }
    QCOMPARE(seen.size(), 8);
}

void TestPictures::backgrounds_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : {"main", "splash", "login", "message", "menu", "profile", "admin", "editor"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestPictures::backgrounds()
{
    QFETCH(QString, name);
    const QPixmap tile = Pictures::background(name);
    QVERIFY(!tile.isNull());
    QCOMPARE(tile.deviceIndependentSize().toSize(), QSize(128, 128));
    // A tile covers the window completely.
    QCOMPARE(coverage(tile), 1.0);
}

void TestPictures::menuBullet()
{
    const QPixmap bullet = Pictures::menuBullet();
    QVERIFY(!bullet.isNull());
    QCOMPARE(bullet.deviceIndependentSize().toSize(), QSize(16, 16));
    QVERIFY(coverage(bullet) > 0.3);
}

void TestPictures::numbersOutOfRange()
{
    QVERIFY(Pictures::treeImage(0).isNull());
    QVERIFY(Pictures::treeImage(12).isNull());
    QVERIFY(Pictures::learner(0).isNull());
    QVERIFY(Pictures::learner(Pictures::LearnerCount + 1).isNull());
    QVERIFY(Pictures::adminPicture(0).isNull());
    QVERIFY(Pictures::adminPicture(44).isNull());
    QVERIFY(Pictures::editionLogo(0, QSize(100, 40)).isNull());
    QVERIFY(Pictures::editionLogo(9, QSize(100, 40)).isNull());
    QVERIFY(Pictures::background(QStringLiteral("nowhere")).isNull());
}

QTEST_MAIN(TestPictures)
#include "TestPictures.moc"
