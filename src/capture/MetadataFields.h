#pragma once

#include "engine/PageOutcome.h"

#include <QJsonObject>
#include <QString>

// A saved page's metadata as records carry it: title, lang, author, published,
// modified, description, site_name, canonical, word_count and text_sha256, each
// null when the page does not state it; the last two are of the saved text.
class MetadataFields
{
public:
    static QJsonObject of(const PageOutcome &page);
    // Every field null: for a row that saved nothing.
    static QJsonObject none();
    // The words of TEXT as a reader counts them: runs between Unicode white space.
    static qint64 wordCount(const QString &text);
    // A YAML header of the fields that are not null, between "---" lines, each string double-quoted.
    static QString frontMatter(const PageOutcome &page);
};
