#pragma once

#include "state/CaptionId.h"

#include <QString>
#include <QStringList>

// The interface texts: caption N is the N-th row of tblCaptions of the template database,
// in the learner's language. Index 0 and the index after the last row read as "".
class Captions
{
public:
    // Reads "Select <language> from tblCaptions" in stored order. On failure the table is
    // left empty and the error returned.
    bool load(const QString& templatePath, const QString& language, QString* error);
    void setTexts(const QStringList& rowsInOrder); // for tests and tools

    // Caption n; out of range reads as "".
    QString operator()(int n) const;
    QString operator()(Caption id) const { return (*this)(int(id)); }
    QString text(int n) const { return (*this)(n); }
    // 0..rows+1, as the loaded array's bounds.
    int upperBound() const { return int(m_rows.size()) + 1; }
    int rowCount() const { return int(m_rows.size()); }
    bool isLoaded() const { return !m_rows.isEmpty(); }

    // Texts that must never be empty even when the table cannot be read: the error box's
    // first line and the two folder names.
    QString errorHeading() const;
    QString installedSubjectsFolderName() const;
    QString virtualSubjectsFolderName() const;

private:
    QStringList m_rows; // row k-1 is caption k
};
