#pragma once

#include <QLocale>
#include <QString>

#include <optional>
#include <vector>

// One row of the edition table. A build serves one edition, chosen by its program code.
struct Edition
{
    int row = 0; // 1-based; also the index of the edition's logo
    QString ProgramCode;
    QString EditionTitle;
    QString InterfaceLanguage; // "English" or "Spanish": also the caption column's name
    QString StudiedLanguage;
    QString LanguageCode; // file extension of installed subjects

    // The activities' picture column for this learner's language.
    QString pictureColumn() const;
    // Dates and numbers shown in the interface: the desktop's own conventions when they are
    // of the interface language, else the language's (no English day name in a Spanish text).
    QLocale interfaceLocale() const;
    // "*.ita" and "*.vita" for the Italian edition.
    QString installedSubjectPattern() const { return QStringLiteral("*.") + LanguageCode; }
    QString virtualSubjectPattern() const { return QStringLiteral("*.v") + LanguageCode; }
};

const std::vector<Edition>& editionTable();
// Exact, case-sensitive lookup.
std::optional<Edition> findEdition(const QString& programCode);
// The edition this build was configured for.
Edition buildEdition();
