#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QXmlStreamReader>

// The links of an RSS (0.9x, 1.0, 2.0) or Atom feed's items, in the feed's
// order, read one at a time from its body: an RSS item's <link>, an Atom
// entry's <link> whose rel is "alternate" (or none), resolved against the feed.
class FeedReader
{
public:
    FeedReader(const QByteArray &body, const QUrl &base);

    // The next item's link; false after the last, or with error() on a body
    // that is no feed or no well-formed XML.
    bool next(QString &link);
    QString error() const { return m_error; }

private:
    bool readRoot();
    QString linkOf();

    QXmlStreamReader m_xml;
    QUrl m_base;
    bool m_started = false;
    bool m_atom = false;
    QString m_error;
};
