#include "capture/RunAddresses.h"

#include "engine/PageAddress.h"

#include <QCryptographicHash>
#include <QUrl>

QString RunAddresses::keyOf(const QString &row)
{
    const PageAddress address = PageAddress::fromRow(row);
    if (address.kind == PageAddress::Refuse)
        return row.trimmed();
    QUrl url(address.url);
    if (!PageAddress::isWeb(url))
        return address.url;
    const int defaultPort = url.scheme() == QLatin1String("https") ? 443 : 80;
    if (url.port() == defaultPort)
        url.setPort(-1);
    if (url.path().isEmpty())
        url.setPath(QStringLiteral("/"));
    return url.toString(QUrl::FullyEncoded);
}

QByteArray RunAddresses::digest(const QString &row)
{
    return QCryptographicHash::hash(keyOf(row).toUtf8(), QCryptographicHash::Md5);
}

void RunAddresses::add(qint64 number, const QString &row)
{
    const QByteArray key = digest(row);
    m_entries[key].open.append(number);
    m_open.insert(number, key);
}

bool RunAddresses::waits(qint64 number) const
{
    const auto entry = m_entries.constFind(m_open.value(number));
    return entry != m_entries.cend() && entry->savedBy == 0 && !entry->open.isEmpty() && entry->open.first() < number;
}

QString RunAddresses::skipReason(qint64 number) const
{
    const auto entry = m_entries.constFind(m_open.value(number));
    if (entry == m_entries.cend() || entry->savedBy == 0 || entry->savedBy == number)
        return {};
    const qint64 shown = m_shownRow ? m_shownRow(entry->savedBy) : entry->savedBy;
    return QStringLiteral("same address as row %1").arg(shown);
}

void RunAddresses::ended(qint64 number, bool saved)
{
    const auto entry = m_entries.find(m_open.take(number));
    if (entry == m_entries.end())
        return;
    entry->open.removeOne(number);
    if (saved && entry->savedBy == 0)
        entry->savedBy = number;
    // An address nobody saved and nobody loads costs nothing.
    if (entry->savedBy == 0 && entry->open.isEmpty())
        m_entries.erase(entry);
}
