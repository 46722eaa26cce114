#pragma once

#include <QImage>
#include <QString>

#include <optional>

// The two pictures of an activity button, kept in the activity's ".cfg" picture database:
// table tblImages, row 1 the normal picture, row 2 the hover picture, in the column of the
// learner's language. Decoded straight from the stored bytes.
struct ActivityPictureSet
{
    QImage normal;
    QImage hover;
    // The activity's name in the same language (table tblNames, optional): "" when the file
    // has none, as a file made from the older contract.
    QString name;
};

std::optional<ActivityPictureSet> loadActivityPictures(const QString& databasePath, const QString& column,
                                                       QString* error);
