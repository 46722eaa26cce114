// Draws the normal and hover pictures of an activity button in both learner languages and
// writes them as PNG into the activity's picture database (".cfg"): tblImages, row 1 the
// normal picture, row 2 the hover picture, columns bEnglish and bSpanish.
//
//   make_activity_pictures <Flashcards|Listening|Dictation|Speaking> <output.cfg>

#include "platform/Database.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

constexpr int Width = 320; // twice the button's 2400 x 600 twips, for sharp HiDPI pictures
constexpr int Height = 80;

void drawCards(QPainter& p, const QRectF& r, const QColor& ink)
{
    p.setPen(QPen(ink, 3));
    p.setBrush(Qt::white);
    p.save();
    p.translate(r.center());
    p.rotate(-12);
    p.drawRoundedRect(QRectF(-16, -22, 32, 44), 4, 4);
    p.rotate(20);
    p.drawRoundedRect(QRectF(-12, -20, 32, 44), 4, 4);
    p.drawLine(QPointF(-4, -6), QPointF(12, -6));
    p.drawLine(QPointF(-4, 4), QPointF(12, 4));
    p.restore();
}

void drawSpeaker(QPainter& p, const QRectF& r, const QColor& ink)
{
    const QPointF c = r.center();
    QPainterPath body;
    body.moveTo(c + QPointF(-18, -8));
    body.lineTo(c + QPointF(-8, -8));
    body.lineTo(c + QPointF(4, -20));
    body.lineTo(c + QPointF(4, 20));
    body.lineTo(c + QPointF(-8, 8));
    body.lineTo(c + QPointF(-18, 8));
    body.closeSubpath();
    p.setPen(QPen(ink, 3));
    p.setBrush(ink);
    p.drawPath(body);
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 2; ++i) {
        const double rad = 8.0 * i + 2;
        p.drawArc(QRectF(c.x() + 4 - rad, c.y() - rad, 2 * rad, 2 * rad), -45 * 16, 90 * 16);
    }
}

// A pencil writing a line.
void drawPencil(QPainter& p, const QRectF& r, const QColor& ink)
{
    p.save();
    p.translate(r.center());
    p.setPen(QPen(ink, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(-24, 22), QPointF(8, 22));
    p.rotate(45);
    p.setBrush(ink);
    p.drawRect(QRectF(-6, -26, 12, 34));
    QPainterPath tip;
    tip.moveTo(-6, 8);
    tip.lineTo(6, 8);
    tip.lineTo(0, 20);
    tip.closeSubpath();
    p.setBrush(Qt::NoBrush);
    p.drawPath(tip);
    p.restore();
}

// A microphone on its holder.
void drawMicrophone(QPainter& p, const QRectF& r, const QColor& ink)
{
    const QPointF c = r.center();
    p.setPen(QPen(ink, 3));
    p.setBrush(ink);
    p.drawRoundedRect(QRectF(c.x() - 8, c.y() - 24, 16, 30), 8, 8); // the head
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - 14, c.y() - 16, 28, 28), 180 * 16, 180 * 16); // the holder
    p.drawLine(c + QPointF(0, 12), c + QPointF(0, 22));
    p.drawLine(c + QPointF(-9, 22), c + QPointF(9, 22));
}

QByteArray picture(const QString& activity, const QString& label, bool hover)
{
    QImage image(Width, Height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const bool cards = activity == QLatin1String("Flashcards");
    const bool dictation = activity == QLatin1String("Dictation");
    const bool speaking = activity == QLatin1String("Speaking");
    const QColor base = cards       ? QColor(0x2e, 0x7d, 0x32)
                        : dictation ? QColor(0x8e, 0x24, 0xaa)
                        : speaking  ? QColor(0xad, 0x14, 0x57)
                                    : QColor(0x15, 0x65, 0xc0);
    const QColor top = hover ? base.lighter(150) : base.lighter(115);
    const QColor bottom = hover ? base.lighter(110) : base.darker(115);
    QLinearGradient g(0, 0, 0, Height);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(base.darker(140), 2));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1, 1, Width - 2, Height - 2), 14, 14);
    const QRectF iconBox(8, 8, 64, 64);
    const QColor ink = hover ? QColor(0xff, 0xf5, 0x9d) : QColor(Qt::white);
    if (cards)
        drawCards(p, iconBox, base.darker(150));
    else if (dictation)
        drawPencil(p, iconBox, ink);
    else if (speaking)
        drawMicrophone(p, iconBox, ink);
    else
        drawSpeaker(p, iconBox, ink);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(26);
    f.setBold(true);
    p.setFont(f);
    p.setPen(ink);
    p.drawText(QRectF(80, 0, Width - 88, Height), Qt::AlignVCenter | Qt::AlignLeft, label);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList args = application.arguments();
    // Each activity's button label in the learner's languages.
    const QMap<QString, QString> spanishLabels = {
        {QStringLiteral("Flashcards"), QStringLiteral("Tarjetas")},
        {QStringLiteral("Listening"), QStringLiteral("Escuchar")},
        {QStringLiteral("Dictation"), QStringLiteral("Dictado")},
        {QStringLiteral("Speaking"), QStringLiteral("Hablar")},
    };
    if (args.size() != 3 || !spanishLabels.contains(args.at(1))) {
        std::fprintf(
            stderr, "usage: make_activity_pictures <Flashcards|Listening|Dictation|Speaking> <output.cfg>\n");
        return 2;
    }
    const QString activity = args.at(1);
    const QString output = args.at(2);
    const QString english = activity;
    const QString spanish = spanishLabels.value(activity);
    // Built beside the target and renamed into place: a reader never sees half a file.
    const QString partial = output + QStringLiteral(".part");
    QFile::remove(partial);
    QString error;
    {
        auto db = Database::open(partial, Database::TemplatePassword, Database::Mode::Create, &error);
        if (!db) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        if (!db->exec(QStringLiteral("CREATE TABLE tblImages (pkImageID INTEGER PRIMARY KEY, bEnglish BLOB, "
                                     "bSpanish BLOB)"),
                      &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        Transaction t(*db);
        for (int row = 1; row <= 2; ++row) {
            Statement st = db->prepare(
                QStringLiteral("INSERT INTO tblImages (pkImageID, bEnglish, bSpanish) VALUES (?, ?, ?)"),
                &error);
            const bool hover = row == 2;
            st.bindInt(1, row)
                .bindBlob(2, picture(activity, english, hover))
                .bindBlob(3, picture(activity, spanish, hover));
            if (!st.isValid() || !st.run()) {
                std::fprintf(stderr, "%s\n", qPrintable(st.errorString() + error));
                return 1;
            }
        }
        // The activity's name as the learner reads it on the picture, for the launcher's
        // lists, charts and screen readers (the results keep the program's own name).
        Statement names =
            db->prepare(QStringLiteral("CREATE TABLE tblNames (tEnglish TEXT, tSpanish TEXT)"), &error);
        if (!names.isValid() || !names.run()) {
            std::fprintf(stderr, "%s\n", qPrintable(names.errorString() + error));
            return 1;
        }
        Statement name =
            db->prepare(QStringLiteral("INSERT INTO tblNames (tEnglish, tSpanish) VALUES (?, ?)"), &error);
        name.bindText(1, english).bindText(2, spanish);
        if (!name.isValid() || !name.run()) {
            std::fprintf(stderr, "%s\n", qPrintable(name.errorString() + error));
            return 1;
        }
        if (!t.commit(&error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    QFile::remove(output);
    if (!QFile::rename(partial, output)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 1;
    }
    return 0;
}
