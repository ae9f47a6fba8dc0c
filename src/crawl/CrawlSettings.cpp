#include "crawl/CrawlSettings.h"

#include <QCryptographicHash>

QByteArray CrawlSettings::key(const QStringList &starts) const
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const auto addList = [&hash](const QStringList &values) {
        hash.addData(QByteArray::number(values.size()) + '\n');
        for (const QString &value : values)
            hash.addData(value.toUtf8() + '\n');
    };
    addList(starts);
    addList({QString::number(level), QString::number(int(followNofollow)), QString::number(int(spider)),
             QString::number(int(query.ignoreQuery)), QString::number(int(scope.noParent)),
             QString::number(int(scope.spanHosts)), scope.acceptRegex, scope.rejectRegex});
    addList(query.ignoredParams);
    addList(scope.domains);
    addList(scope.accept);
    addList(scope.reject);
    return hash.result().toHex();
}
