#include "Captions.h"

#include "platform/Database.h"
#include "platform/Files.h"

namespace {
// English fallbacks, used only when the caption table itself cannot be read.
const QString FallbackErrorHeading = QStringLiteral("An unexpected error occurred.");
const QString FallbackInstalledFolder = QStringLiteral("Subjects");
const QString FallbackVirtualFolder = QStringLiteral("MySubjects");
} // namespace

bool Captions::load(const QString& templatePath, const QString& language, QString* error)
{
    m_rows.clear();
    auto db = Database::open(templatePath, Database::TemplatePassword, Database::Mode::ReadOnly, error);
    if (!db)
        return false;
    // The language names a column; only the two known names are accepted as SQL.
    if (language != QLatin1String("English") && language != QLatin1String("Spanish")) {
        if (error)
            *error = QStringLiteral("unknown interface language \"%1\"").arg(language);
        return false;
    }
    Statement st = db->prepare(QStringLiteral("Select %1 from tblCaptions").arg(language), error);
    if (!st.isValid())
        return false;
    QStringList rows;
    Statement::Step s;
    while ((s = st.step()) == Statement::Step::Row)
        rows << st.text(0);
    if (s == Statement::Step::Error) {
        if (error)
            *error = st.errorString();
        return false;
    }
    m_rows = rows;
    return true;
}

void Captions::setTexts(const QStringList& rowsInOrder)
{
    m_rows = rowsInOrder;
}

QString Captions::operator()(int n) const
{
    if (n < 1 || n > m_rows.size())
        return QString("");
    return m_rows.at(n - 1);
}

QString Captions::errorHeading() const
{
    const QString t = (*this)(149);
    return t.isEmpty() ? FallbackErrorHeading : t;
}

QString Captions::installedSubjectsFolderName() const
{
    const QString t = (*this)(10);
    return isSafeFileName(t) ? t : FallbackInstalledFolder;
}

QString Captions::virtualSubjectsFolderName() const
{
    const QString t = (*this)(11);
    return isSafeFileName(t) ? t : FallbackVirtualFolder;
}
