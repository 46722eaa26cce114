#include "Pictures.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

// The SVG sources are src/widgets/pictures/*.svg (made by tools/pictures/*.py), compiled in
// as ":/pictures/<name>.svg". Everything is drawn at the size asked for, in device pixels,
// so the pictures stay sharp at 100 % and 200 %; rendered pixmaps are kept in QPixmapCache.

namespace {

QString resource(const QString& name)
{
    return QStringLiteral(":/pictures/%1.svg").arg(name);
}

QString numbered(const QString& prefix, int number, int digits)
{
    return resource(prefix + QStringLiteral("%1").arg(number, digits, 10, QLatin1Char('0')));
}

// Draws the picture into a transparent pixmap of the given size in device pixels, keeping
// its aspect ratio and centring it. Null without a GUI application or for a bad picture.
QPixmap render(const QString& path, const QSize& pixels, qreal ratio = 1.0, QIcon::Mode mode = QIcon::Normal)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()) || pixels.isEmpty())
        return QPixmap();
    const QString key = QStringLiteral("parlanto:%1:%2x%3:%4:%5")
                            .arg(path)
                            .arg(pixels.width())
                            .arg(pixels.height())
                            .arg(ratio)
                            .arg(int(mode));
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return QPixmap();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const QSizeF drawn = QSizeF(renderer.defaultSize()).scaled(QSizeF(pixels), Qt::KeepAspectRatio);
        renderer.render(&painter, QRectF(QPointF((pixels.width() - drawn.width()) / 2.0,
                                                 (pixels.height() - drawn.height()) / 2.0),
                                         drawn));
    }
    if (mode == QIcon::Disabled) {
        // Grey and faded, as disabled controls draw their pictures.
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int grey = 128 + qGray(line[x]) / 2;
                line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) / 2);
            }
        }
    }
    pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(ratio);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

qreal screenRatio()
{
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

// The picture at its own size, in logical pixels, sharp on the screen's pixel ratio.
QPixmap atOwnSize(const QString& path)
{
    const QSize own = QSvgRenderer(path).defaultSize();
    const qreal ratio = screenRatio();
    return render(path, (QSizeF(own) * ratio).toSize(), ratio);
}

// An icon drawn from its SVG at whatever size a view asks for.
class SvgIconEngine : public QIconEngine
{
public:
    explicit SvgIconEngine(const QString& path) : m_path(path) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, render(m_path, (QSizeF(rect.size()) * ratio).toSize(), ratio, mode));
    }
    // QIcon asks for the size in device pixels (size times the pixel ratio) and sets the
    // ratio on the result itself.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        return render(m_path, size, 1.0, mode);
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new SvgIconEngine(m_path); }
    QString key() const override { return QStringLiteral("ParlantoSvgIconEngine"); }
    bool isNull() override { return !QFile::exists(m_path); }

private:
    QString m_path;
};

QIcon icon(const QString& path)
{
    return QIcon(new SvgIconEngine(path));
}

} // namespace

namespace Pictures {

QIcon treeImage(int number)
{
    if (number < 1 || number > 11)
        return QIcon();
    return icon(numbered(QStringLiteral("tree_"), number, 2));
}

QIcon learner(int number)
{
    if (number < 1 || number > LearnerCount)
        return QIcon();
    return icon(numbered(QStringLiteral("learner_"), number, 2));
}

QPixmap editionLogo(int row, const QSize& size)
{
    if (row < 1 || row > 8)
        return QPixmap();
    const QString path = numbered(QStringLiteral("logo_"), row, 1);
    if (!size.isValid() || size.isEmpty())
        return atOwnSize(path);
    const qreal ratio = screenRatio();
    return render(path, (QSizeF(size) * ratio).toSize(), ratio);
}

// The four windows of the header, the side menu's panel ("menu"), and the other windows
// that tile a background: the profile window shares the login's, the administration
// window and the editor the main window's.
QPixmap background(const QString& name)
{
    static const QHash<QString, QString> files = {
        {QStringLiteral("main"), QStringLiteral("main")},
        {QStringLiteral("splash"), QStringLiteral("splash")},
        {QStringLiteral("login"), QStringLiteral("login")},
        {QStringLiteral("message"), QStringLiteral("message")},
        {QStringLiteral("menu"), QStringLiteral("menu")},
        {QStringLiteral("profile"), QStringLiteral("login")},
        {QStringLiteral("admin"), QStringLiteral("main")},
        {QStringLiteral("editor"), QStringLiteral("main")},
    };
    const auto it = files.constFind(name);
    if (it == files.constEnd())
        return QPixmap();
    return atOwnSize(resource(QStringLiteral("background_") + *it));
}

QPixmap menuBullet()
{
    return atOwnSize(resource(QStringLiteral("menu_bullet")));
}

QIcon programIcon()
{
    return icon(resource(QStringLiteral("parlanto")));
}

// 1..40 are the learner pictures (the list shows learners with them), 41 an activity,
// 42 the selected activity, 43 a subject (the tree's subject picture).
QIcon adminPicture(int number)
{
    if (number >= 1 && number <= LearnerCount)
        return learner(number);
    if (number == 41 || number == 42)
        return icon(resource(QStringLiteral("admin_%1").arg(number)));
    if (number == 43)
        return treeImage(5);
    return QIcon();
}

} // namespace Pictures
