#include "ActivityPictures.h"

#include "platform/Database.h"

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
        if (!image.loadFromData(st.blob(0)) || image.isNull())
            return fail(QStringLiteral("A picture of the file cannot be read."));
    }
    return ActivityPictureSet{images[0], images[1]};
}
