#include "ActivityPictures.h"

#include "platform/Database.h"

#include <QBuffer>
#include <QImageReader>

namespace {
// Raster formats only: a vector format such as SVG follows references to other files,
// and a file someone else made could name one that never ends (a FIFO).
bool decodeRaster(const QByteArray& bytes, QImage* image, QString* why)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer).toLower();
    static const QList<QByteArray> raster{"bmp", "png", "jpeg", "jpg", "gif"};
    if (!raster.contains(format)) {
        *why = format.isEmpty()
                   ? QStringLiteral("A picture of the file cannot be read.")
                   : QStringLiteral("A picture of the file is in the %1 format; activity pictures "
                                    "are BMP, PNG, JPEG or GIF pictures.")
                         .arg(QString::fromLatin1(format.toUpper()));
        return false;
    }
    buffer.seek(0);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoDetectImageFormat(false);
    *image = reader.read();
    if (image->isNull()) {
        *why = QStringLiteral("A picture of the file cannot be read.");
        return false;
    }
    return true;
}
} // namespace

std::optional<ActivityPictureSet> loadActivityPictures(const QString& databasePath, const QString& column,
                                                       QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = Database::namingFile(databasePath, why);
        return std::nullopt;
    };
    if (column != QLatin1String("bEnglish") && column != QLatin1String("bSpanish"))
        return fail(QStringLiteral("Unknown picture column %1.").arg(column));
    QString why;
    auto db = Database::open(databasePath, Database::TemplatePassword, Database::Mode::ReadOnly, &why);
    if (!db)
        return fail(why);
    // Only the picture column is named: a file made from the contract has no other. The rows
    // come in their stored order (row 1 normal, row 2 hover).
    Statement st = db->prepare(QStringLiteral("SELECT %1 FROM tblImages").arg(column), &why);
    if (!st.isValid())
        return fail(why);
    QImage images[2];
    for (QImage& image : images) {
        const Statement::Step step = st.step();
        if (step != Statement::Step::Row)
            return fail(step == Statement::Step::Error
                            ? st.errorString()
                            : QStringLiteral("The picture file has fewer than two pictures."));
        if (!decodeRaster(st.blob(0), &image, &why))
            return fail(why);
    }
    ActivityPictureSet set{images[0], images[1], QString()};
    // Read in the same opening of the file: tEnglish or tSpanish beside bEnglish or bSpanish.
    const QString nameColumn = QLatin1Char('t') + column.mid(1);
    Statement names = db->prepare(QStringLiteral("SELECT %1 FROM tblNames").arg(nameColumn), &why);
    if (names.isValid() && names.step() == Statement::Step::Row)
        set.name = names.text(0).trimmed();
    return set;
}
