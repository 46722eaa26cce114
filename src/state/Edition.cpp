#include "Edition.h"

#include "BuildInfo.h"

const std::vector<Edition>& editionTable()
{
    static const std::vector<Edition> table = {
        {1, "prlspa", "Parlanto Spanish", "English", "Spanish", "spa"},
        {2, "prlfre", "Parlanto French", "English", "French", "fre"},
        {3, "prlger", "Parlanto German", "English", "German", "ger"},
        {4, "prlita", "Parlanto Italian", "English", "Italian", "ita"},
        {5, "prleng", QString::fromUtf8("Parlanto Inglés"), "Spanish", "English", "eng"},
        {6, "prlfra", QString::fromUtf8("Parlanto Francés"), "Spanish", "French", "fra"},
        {7, "prlale", QString::fromUtf8("Parlanto Alemán"), "Spanish", "German", "ale"},
        {8, "prlito", "Parlanto Italiano", "Spanish", "Italian", "ito"},
    };
    return table;
}

std::optional<Edition> findEdition(const QString& programCode)
{
    for (const Edition& e : editionTable()) {
        if (e.ProgramCode == programCode)
            return e;
    }
    return std::nullopt;
}

Edition buildEdition()
{
    const auto e = findEdition(QString::fromLatin1(BuildInfo::ProgramCode));
    if (e)
        return *e;
    Edition none;
    none.ProgramCode = QString::fromLatin1(BuildInfo::ProgramCode);
    return none;
}

QLocale Edition::interfaceLocale() const
{
    const QLocale::Language language =
        InterfaceLanguage == QLatin1String("Spanish") ? QLocale::Spanish : QLocale::English;
    const QLocale desktop;
    return desktop.language() == language ? desktop : QLocale(language);
}

QString Edition::pictureColumn() const
{
    return InterfaceLanguage == QLatin1String("Spanish") ? QStringLiteral("bSpanish")
                                                         : QStringLiteral("bEnglish");
}
