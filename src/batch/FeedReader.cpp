#include "batch/FeedReader.h"

namespace {

bool named(const QXmlStreamReader &xml, QLatin1String name)
{
    return xml.name().compare(name, Qt::CaseInsensitive) == 0;
}

} // namespace

FeedReader::FeedReader(const QByteArray &body, const QUrl &base) : m_xml(body), m_base(base) {}

bool FeedReader::readRoot()
{
    m_started = true;
    if (!m_xml.readNextStartElement()) {
        m_error = m_xml.hasError() ? m_xml.errorString() : QStringLiteral("it is empty");
        return false;
    }
    m_atom = named(m_xml, QLatin1String("feed"));
    if (!m_atom && !named(m_xml, QLatin1String("rss")) && !named(m_xml, QLatin1String("RDF"))) {
        m_error = QStringLiteral("it is no RSS or Atom feed (its root is <%1>)").arg(m_xml.name());
        return false;
    }
    return true;
}

bool FeedReader::next(QString &link)
{
    if (!m_error.isEmpty() || (!m_started && !readRoot()))
        return false;
    const QLatin1String item = m_atom ? QLatin1String("entry") : QLatin1String("item");
    while (!m_xml.atEnd()) {
        if (m_xml.readNext() != QXmlStreamReader::StartElement || !named(m_xml, item))
            continue;
        const QString found = linkOf();
        if (!found.isEmpty()) {
            link = m_base.resolved(QUrl(found)).toString(QUrl::FullyEncoded);
            return true;
        }
    }
    if (m_xml.hasError())
        m_error = QStringLiteral("%1 (line %2)").arg(m_xml.errorString()).arg(m_xml.lineNumber());
    return false;
}

// The link of the item whose start the reader is at; the reader ends at its end.
QString FeedReader::linkOf()
{
    QString link;
    int depth = 1;
    while (depth > 0 && !m_xml.atEnd()) {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (depth == 1 && link.isEmpty() && named(m_xml, QLatin1String("link"))) {
            const QXmlStreamAttributes attributes = m_xml.attributes();
            const QString rel = attributes.value(QLatin1String("rel")).toString();
            if (m_atom) {
                if (rel.isEmpty() || rel == QLatin1String("alternate"))
                    link = attributes.value(QLatin1String("href")).toString().trimmed();
                m_xml.skipCurrentElement();
            } else {
                link = m_xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            }
            continue;
        }
        ++depth;
    }
    return link;
}
