#include "batch/SitemapReader.h"

#include "batch/BodyFetch.h"
#include "batch/FailureHints.h"
#include "batch/GzipInflate.h"
#include "batch/ListReader.h"
#include "engine/PageAddress.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTimeZone>

#include <utility>

namespace {

// Notes the first entity a sitemap uses without declaring it, which reads as
// nothing, so that the entry holding it is left out rather than changed.
class UndeclaredEntities : public QXmlStreamEntityResolver
{
public:
    QString resolveUndeclaredEntity(const QString &name) override
    {
        if (first.isEmpty())
            first = name;
        return QStringLiteral(""); // not null: the reader goes on
    }

    QString first;
};

} // namespace

struct SitemapReader::File {
    QString address; // as messages name it, without user info
    QUrl url;
    QByteArray body;
    bool html = false; // answered as an HTML page
    UndeclaredEntities entities;
    std::unique_ptr<QXmlStreamReader> xml; // none for a text sitemap
    qsizetype textAt = 0;
    bool rootRead = false;
    int depth = 1; // in the XML: 1 is the root, 2 its entries, 3 an entry's <loc>
    bool index = false;
    // The addresses of the entry being read, and its <lastmod>; then, at its end, those to give.
    QStringList entryAddresses;
    QDateTime entryModified;
    QStringList ready;
    QDateTime readyModified;
    qint64 entries = 0;
    qint64 over = 0;
    QString firstOver;
};

namespace {

bool looksLikeXml(const QByteArray &body)
{
    for (const char byte : body) {
        if (byte == '<')
            return true;
        if (!QChar::isSpace(uchar(byte)) && uchar(byte) < 0x80)
            return false;
    }
    return false;
}

// A W3C datetime with at least a day, in UTC: "2024-05-01", "2024-05-01T10:00Z",
// "2024-05-01T10:00:00.5+02:00"; null for any other text.
QDateTime w3cDateTime(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})"
                                                        "(?:T(\\d{2}):(\\d{2})(?::(\\d{2})(?:\\.(\\d+))?)?"
                                                        "(?:(Z)|([+-])(\\d{2}):(\\d{2})))?$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return {};
    const auto number = [&match](int group) { return match.capturedView(group).toInt(); };
    const QDate date(number(1), number(2), number(3));
    const QString fraction = match.captured(7).leftJustified(3, QLatin1Char('0'), true);
    const QTime time(number(4), number(5), number(6), fraction.toInt());
    if (!date.isValid() || !time.isValid() || number(10) > 23 || number(11) > 59)
        return {};
    const int offset = (number(10) * 60 + number(11)) * 60 * (match.capturedView(9) == QLatin1String("-") ? -1 : 1);
    return QDateTime(date, time, QTimeZone::utc()).addSecs(-offset).toUTC();
}

// A page that was asked for as a sitemap: by its content type, its start or its root element.
bool isHtml(const QByteArray &body, bool servedAsHtml, QStringView root)
{
    static const QRegularExpression start(
        QStringLiteral("^[\\s\\x{feff}]*(<\\?xml[^>]*>\\s*)?(<!--.*?-->\\s*)*<(!doctype\\s+html|html[\\s>/])"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return servedAsHtml || root.compare(QLatin1String("html"), Qt::CaseInsensitive) == 0
        || start.match(QString::fromUtf8(body.left(4096))).hasMatch();
}

} // namespace

SitemapReader::SitemapReader(BodyFetch &fetch, const QString &address, Warn warn)
    : m_fetch(fetch), m_warn(std::move(warn)), m_start(address)
{}

SitemapReader::~SitemapReader() = default;

bool SitemapReader::allowed(const QUrl &url, const File &file) const
{
    return PageAddress::isWeb(url) || (url.isLocalFile() && file.url.isLocalFile());
}

bool SitemapReader::open(const QString &address, const File *parent)
{
    const QString shown = PageAddress::withoutUserInfo(address);
    if (m_opened.contains(address)) {
        m_warn(QStringLiteral("sitemap %1 is listed again; read once").arg(shown));
        return true;
    }
    m_opened.insert(address);
    auto file = std::make_unique<File>();
    file->address = shown;
    const PageAddress page = PageAddress::fromRow(address);
    file->url = QUrl(page.kind == PageAddress::Load ? page.url : address);
    if (parent && !allowed(file->url, *parent)) {
        m_error = QStringLiteral("cannot read sitemap %1: it is not an http or https address").arg(shown);
        return false;
    }
    if (m_fetching)
        m_fetching(address);
    m_opening = std::move(file);
    // The answer outlives the reader, which a run may drop while a file is on its way.
    m_answer = std::make_shared<std::optional<PageOutcome>>();
    m_fetch.startNext(address, [answer = m_answer](const PageOutcome &fetched) { *answer = fetched; });
    return true;
}

// Takes the file on its way once its answer is in.
bool SitemapReader::opened()
{
    std::unique_ptr<File> file = std::move(m_opening);
    PageOutcome answer = std::move(**m_answer);
    m_answer.reset();
    ++m_filesRead;
    QString problem = answer.failure;
    if (problem.isEmpty() && GzipInflate::isGzip(answer.body)) {
        QByteArray inflated;
        if (GzipInflate::inflate(answer.body, MaxInflatedBytes, 60'000, &inflated, &problem))
            answer.body = inflated;
    }
    if (!problem.isEmpty()) {
        m_error = QStringLiteral("cannot read sitemap %1: %2").arg(file->address, problem);
        return false;
    }
    if (!answer.finalUrl.isEmpty() && PageAddress::isWeb(QUrl(answer.finalUrl)))
        file->url = QUrl(answer.finalUrl);
    file->body = std::move(answer.body);
    file->html = answer.contentType.startsWith(QLatin1String("text/html"), Qt::CaseInsensitive);
    if (looksLikeXml(file->body)) {
        file->xml = std::make_unique<QXmlStreamReader>(file->body);
        file->xml->setEntityResolver(&file->entities);
    }
    m_files.push_back(std::move(file));
    return true;
}

void SitemapReader::close()
{
    const File &file = *m_files.back();
    if (file.over > 0)
        m_warn(QStringLiteral("sitemap %1 lists %2 more entries than the %3 taken (from %4 on); they are left out")
                   .arg(file.address)
                   .arg(file.over)
                   .arg(MaxEntries)
                   .arg(file.firstOver));
    m_files.pop_back();
}

bool SitemapReader::nextTextEntry(File &file, QString &entry)
{
    while (file.textAt < file.body.size()) {
        qsizetype end = file.body.indexOf('\n', file.textAt);
        if (end < 0)
            end = file.body.size();
        entry = QString::fromUtf8(file.body.mid(file.textAt, end - file.textAt)).trimmed();
        file.textAt = end + 1;
        if (!entry.isEmpty())
            return true;
    }
    return false;
}

// The next <loc> of the file's <url> (or, in an index, <sitemap>) elements,
// given once its element is read, with the element's <lastmod>.
bool SitemapReader::nextEntry(File &file, QString &entry, QDateTime &lastModified)
{
    if (!file.xml)
        return nextTextEntry(file, entry);
    QXmlStreamReader &xml = *file.xml;
    if (!file.rootRead) {
        file.rootRead = true;
        const bool rootRead = xml.readNextStartElement();
        const QStringView root = rootRead ? xml.name() : QStringView();
        const bool sitemap = root == QLatin1String("sitemapindex") || root == QLatin1String("urlset");
        if (!sitemap && isHtml(file.body, file.html, root)) {
            m_error = QStringLiteral("cannot read sitemap %1: it is an HTML page, not a sitemap").arg(file.address);
            return false;
        }
        if (!rootRead) {
            m_error = QStringLiteral("cannot read sitemap %1: %2")
                          .arg(file.address, xml.hasError() ? xml.errorString() : QStringLiteral("it is empty"));
            return false;
        }
        file.index = xml.name() == QLatin1String("sitemapindex");
        const bool feed = xml.name() == QLatin1String("rss") || xml.name() == QLatin1String("feed")
            || xml.name() == QLatin1String("RDF");
        if (feed) {
            m_error = QStringLiteral("cannot read sitemap %1: it is a feed, not a sitemap (hint: %2)")
                          .arg(file.address, FailureHints::text(FailureHints::Kind::FeedAsSitemap));
            return false;
        }
        if (!file.index && xml.name() != QLatin1String("urlset")) {
            m_error = QStringLiteral("cannot read sitemap %1: it is no sitemap (its root is <%2>)")
                          .arg(file.address, xml.name());
            return false;
        }
    }
    int &depth = file.depth;
    while (file.ready.isEmpty() && !xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (--depth == 1) {
                file.ready.swap(file.entryAddresses);
                file.readyModified = std::exchange(file.entryModified, {});
            }
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (depth == 2 && xml.name() == QLatin1String("loc")) {
            file.entities.first.clear();
            entry = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            if (!file.entities.first.isEmpty()) {
                m_warn(QStringLiteral(
                           "sitemap %1 has an undefined entity &%2; in an entry (line %3); the entry is left out")
                           .arg(file.address, file.entities.first)
                           .arg(xml.lineNumber()));
                continue;
            }
            if (!entry.isEmpty())
                file.entryAddresses.append(entry);
            continue;
        }
        if (depth == 2 && xml.name() == QLatin1String("lastmod") && !file.index) {
            file.entryModified = w3cDateTime(xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed());
            continue;
        }
        if (++depth > 2) {
            // What an entry holds besides its <loc> (images, news …) is passed over.
            xml.skipCurrentElement();
            --depth;
        }
    }
    // A file that ends within an entry still gives the addresses read.
    if (file.ready.isEmpty()) {
        file.ready.swap(file.entryAddresses);
        file.readyModified = std::exchange(file.entryModified, {});
    }
    if (!file.ready.isEmpty()) {
        entry = file.ready.takeFirst();
        lastModified = file.readyModified;
        return true;
    }
    if (xml.hasError())
        m_error = QStringLiteral("cannot read sitemap %1: %2 (line %3)")
                      .arg(file.address, xml.errorString())
                      .arg(xml.lineNumber());
    return false;
}

IRowSource::Answer SitemapReader::next(QString &address, QString &failure, QDateTime *lastModified)
{
    using Answer = IRowSource::Answer;
    if (!m_error.isEmpty())
        return Answer::End;
    if (!m_started) {
        m_started = true;
        if (!open(m_start, nullptr))
            return Answer::End;
    }
    for (;;) {
        if (m_opening) {
            if (!*m_answer)
                return Answer::NotYet;
            if (!opened())
                return Answer::End;
        }
        if (m_files.empty())
            return Answer::End;
        File &file = *m_files.back();
        QString entry;
        QDateTime modified;
        if (!nextEntry(file, entry, modified)) {
            if (!m_error.isEmpty())
                return Answer::End;
            close();
            continue;
        }
        if (++file.entries > MaxEntries) {
            if (file.over++ == 0)
                file.firstOver = PageAddress::withoutUserInfo(entry).left(200);
            continue;
        }
        const QUrl url = file.url.resolved(QUrl(entry));
        if (file.index) {
            if (m_files.size() >= size_t(MaxDepth)) {
                m_warn(QStringLiteral("sitemap %1 is nested too deep; left out")
                           .arg(PageAddress::withoutUserInfo(entry).left(200)));
                continue;
            }
            if (!open(url.toString(QUrl::FullyEncoded), &file))
                return Answer::End;
            continue;
        }
        failure.clear();
        address = QUrl(entry).isRelative() ? url.toString(QUrl::FullyEncoded) : entry;
        if (address.toUtf8().size() > ListReader::MaxLineBytes) {
            address = address.left(80) + QStringLiteral("…");
            failure = QStringLiteral("address too long");
        } else if (!allowed(url, file)) {
            failure = QStringLiteral("not an http or https address, in sitemap %1").arg(file.address);
        }
        if (lastModified)
            *lastModified = modified;
        ++m_rowsGiven;
        return Answer::Row;
    }
}
