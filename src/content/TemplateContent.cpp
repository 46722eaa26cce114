#include "TemplateContent.h"
#include "state/CaptionId.h"

#include "content/ContentLevel.h"
#include "content/LoadingLog.h"
#include "platform/Database.h"
#include "platform/Fail.h"
#include "state/Edition.h"

namespace {

// A failed read's error names the template file.
bool named(bool ok, const QString& templatePath, QString* error)
{
    if (!ok && error)
        *error = Database::namingFile(templatePath, *error);
    return ok;
}

// Column names come from the edition table only; anything else is refused as SQL.
bool isLanguageColumn(const QString& name)
{
    return name == QLatin1String("English") || name == QLatin1String("Spanish");
}

bool readLinkedRows(const QString& templatePath, const QString& language, const QString& table,
                    QList<TemplateContent::LinkedText>* rows, QString* error)
{
    if (!isLanguageColumn(language))
        return fail(error, QStringLiteral("unknown interface language \"%1\"").arg(language));
    auto db = Database::open(templatePath, Database::TemplatePassword, Database::Mode::ReadOnly, error);
    if (!db)
        return false;
    Statement st = db->prepare(QStringLiteral("Select %1, link from %2 Where %3 <> 0")
                                   .arg(language, table, TemplateContent::levelColumn()),
                               error);
    if (!st.isValid())
        return false;
    Statement::Step s;
    while ((s = st.step()) == Statement::Step::Row)
        rows->append({st.text(0), st.text(1)});
    if (s == Statement::Step::Error)
        return fail(error, st.errorString());
    return true;
}

} // namespace

namespace TemplateContent {

QString levelColumn()
{
    return QStringLiteral("bL") + QString::number(FullContentLevel);
}

bool loadCaptions(const QString& templatePath, const QString& language, Captions* captions, QString* error)
{
    return named(captions->load(templatePath, language, error), templatePath, error);
}

bool loadSystemMessages(const QString& templatePath, const QString& language, const Captions& captions,
                        QList<LinkedText>* messages, QString* error)
{
    messages->clear();
    QList<LinkedText> rows;
    if (!named(readLinkedRows(templatePath, language, QStringLiteral("tblSystemMessages"), &rows, error),
               templatePath, error))
        return false;
    for (int i = 1; i <= rows.size(); ++i) {
        LoadingLog::addLine(captions(Caption::LoadingItem) + QStringLiteral(" MSG #00") + QString::number(i));
        messages->append(rows.at(i - 1));
        LoadingLog::addLine(captions(Caption::Ok));
    }
    return true;
}

bool loadMenuLinks(const QString& templatePath, const QString& language, const Captions& captions,
                   QList<LinkedText>* entries, QString* error)
{
    entries->clear();
    QList<LinkedText> rows;
    if (!named(readLinkedRows(templatePath, language, QStringLiteral("tblMenu"), &rows, error), templatePath,
               error))
        return false;
    for (const LinkedText& row : rows) {
        entries->append(row);
        LoadingLog::addLine(captions(Caption::Ok));
    }
    return true;
}

bool loadTips(const QString& templatePath, const QString& programCode, QStringList* tips, int* tipCount,
              QString* error)
{
    tips->clear();
    *tipCount = 1;
    if (!findEdition(programCode))
        return fail(error, QStringLiteral("unknown program code \"%1\"").arg(programCode));
    auto db = Database::open(templatePath, Database::TemplatePassword, Database::Mode::ReadOnly, error);
    if (!db)
        return false;
    Statement st = db->prepare(QStringLiteral("Select %1 from tblTips").arg(programCode), error);
    if (!st.isValid())
        return named(false, templatePath, error);
    Statement::Step s;
    while ((s = st.step()) == Statement::Step::Row) {
        if (st.isNull(0)) {
            *tipCount = int(tips->size()) + 1;
            return fail(
                error, QStringLiteral("tip %1 of %2 is empty (Null)").arg(tips->size() + 1).arg(programCode));
        }
        tips->append(st.text(0));
    }
    *tipCount = int(tips->size()) + 1;
    if (s == Statement::Step::Error)
        return named(fail(error, st.errorString()), templatePath, error);
    return true;
}

} // namespace TemplateContent
