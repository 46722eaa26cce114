#include "UsersTemplate.h"

#include "platform/Database.h"

namespace UsersTemplate {

bool write(const QString& path, QString* error)
{
    auto db = Database::open(path, Database::TemplatePassword, Database::Mode::Create, error);
    if (!db)
        return false;
    const char* schema[] = {
        "CREATE TABLE tblUsers (pkStudentID INTEGER PRIMARY KEY AUTOINCREMENT, tFirstname TEXT, "
        "tLastname TEXT, tPassword TEXT, nIcon INTEGER)",
        "CREATE TABLE tblscores (pkScoreID INTEGER PRIMARY KEY AUTOINCREMENT, tName TEXT, tActivity TEXT, "
        "tSubject TEXT, textScore TEXT, numberScore REAL, nDate TEXT, nTime TEXT)",
        "CREATE VIEW qryActivities AS SELECT DISTINCT tActivity FROM tblscores ORDER BY tActivity",
        "CREATE VIEW qrySubjects AS SELECT DISTINCT tSubject FROM tblscores ORDER BY tSubject",
        // Stands for the interface tables the template also carries.
        "CREATE TABLE tblCaptions (English TEXT, Spanish TEXT)",
    };
    for (const char* sql : schema) {
        if (!db->exec(QString::fromLatin1(sql), error))
            return false;
    }
    return true;
}

} // namespace UsersTemplate
