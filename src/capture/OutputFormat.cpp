#include "capture/OutputFormat.h"

#include "capture/MetadataFields.h"
#include "engine/PageAddress.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString pageContent(const QString &, const PageOutcome &page, const RowChange &)
{
    return page.content;
}

QString jsonRecord(const QString &row, const PageOutcome &page, const RowChange &change)
{
    QJsonObject record{
        {QStringLiteral("url"), PageAddress::withoutUserInfo(row)},
        {QStringLiteral("final_url"), PageAddress::withoutUserInfo(page.finalUrl)},
        {QStringLiteral("title"), page.title},
        {QStringLiteral("lang"), page.lang},
        {QStringLiteral("fetched"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
        {QStringLiteral("http_status"), page.httpStatus > 0 ? QJsonValue(page.httpStatus) : QJsonValue()},
        {QStringLiteral("content_type"), page.contentType.isEmpty() ? QJsonValue() : QJsonValue(page.contentType)},
        {QStringLiteral("text"), page.content},
    };
    // The page's metadata, title and lang null like the others when the page states none.
    const QJsonObject metadata = MetadataFields::of(page);
    for (auto field = metadata.begin(); field != metadata.end(); ++field)
        record.insert(field.key(), field.value());
    if (!page.formatFallback.isEmpty())
        record.insert(QStringLiteral("format_fallback"), page.formatFallback);
    if (page.selectNoMatch)
        record.insert(QStringLiteral("select"), QStringLiteral("no match"));
    if (change.tracked())
        record.insert(QStringLiteral("change"), RowChange::nameOf(change.kind));
    if (!change.diff.isEmpty())
        record.insert(QStringLiteral("diff"), change.diff);
    return QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Indented));
}

} // namespace

const QList<OutputFormat> &OutputFormat::all()
{
    using Form = EngineOptions::PageForm;
    static const QList<OutputFormat> formats{
        {QStringLiteral("text"), QStringLiteral(".txt"), Form::Text, QStringLiteral("the body's text (the default)"),
         pageContent},
        {QStringLiteral("markdown"),
         QStringLiteral(".md"),
         Form::Markdown,
         QStringLiteral("headings, lists, links, tables and code kept"),
         pageContent,
         {QStringLiteral("md")}},
        {QStringLiteral("html"), QStringLiteral(".html"), Form::Html,
         QStringLiteral("the document without scripts or handlers, links made absolute"), pageContent},
        {QStringLiteral("json"), QStringLiteral(".json"), Form::Text,
         QStringLiteral("url, final_url, title, lang, fetched, http_status, content_type, text, then the page's "
                        "author, published, modified, description, site_name, canonical, word_count and text_sha256 "
                        "(change and diff with a state)"),
         jsonRecord},
    };
    return formats;
}

const OutputFormat *OutputFormat::named(const QString &name)
{
    for (const OutputFormat &format : all()) {
        if (format.name == name || format.aliases.contains(name))
            return &format;
    }
    return nullptr;
}
