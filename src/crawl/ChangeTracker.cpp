#include "crawl/ChangeTracker.h"

#include "capture/RowResult.h"
#include "crawl/CrawlState.h"
#include "support/UnifiedDiff.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QByteArray compressedLinks(const PageLinks &links)
{
    const QJsonObject object{
        {QStringLiteral("follow"), QJsonArray::fromStringList(links.follow)},
        {QStringLiteral("nofollow"), QJsonArray::fromStringList(links.nofollow)},
        {QStringLiteral("page_nofollow"), links.pageNofollow},
        {QStringLiteral("canonical"), links.canonical},
    };
    return qCompress(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

bool isGoneStatus(int status)
{
    return status == 404 || status == 410;
}

} // namespace

ChangeTracker::ChangeTracker(CrawlState &state, const Settings &settings) : m_state(state), m_settings(settings) {}

QByteArray ChangeTracker::sha256(const QString &text)
{
    return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex();
}

QString ChangeTracker::collapsed(const QString &text)
{
    return text.simplified();
}

bool ChangeTracker::fileMatches(const QString &file, const PageRecord &record)
{
    QFile saved(file);
    if (record.outputSha256.isEmpty() || !saved.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return hash.addData(&saved) && hash.result().toHex() == record.outputSha256;
}

RowChange ChangeTracker::changeOf(qint64 id, const PageRecord &previous, const PageOutcome &outcome,
                                  const QString &file)
{
    RowChange change;
    if (outcome.failed()) {
        if (isGoneStatus(outcome.httpStatus) && !previous.isEmpty())
            change.kind = RowChange::Kind::Gone;
        return change;
    }
    if (outcome.notModified) {
        // Validators are sent only when the file holds the page's last text.
        change.kind = previous.isEmpty() ? RowChange::Kind::Untracked : RowChange::Kind::Same;
        change.keepFile = true;
        return change;
    }
    if (previous.isEmpty()) {
        change.kind = RowChange::Kind::New;
    } else {
        const bool same = m_settings.ignoreWhitespace ? sha256(collapsed(outcome.content)) == previous.collapsedSha256
                                                      : sha256(outcome.content) == previous.textSha256;
        change.kind = same ? RowChange::Kind::Same : RowChange::Kind::Changed;
    }
    // A file that is not what was written (edited, removed, or a run killed after
    // writing it) is written again.
    change.keepFile = change.kind == RowChange::Kind::Same && m_settings.changedOnly
        && (file.isEmpty() || fileMatches(file, previous));
    if (change.kind == RowChange::Kind::Changed && m_settings.diff)
        change.diff = diffOf(id, previous, outcome.content, file);
    return change;
}

QString ChangeTracker::diffOf(qint64 id, const PageRecord &previous, const QString &text, const QString &file) const
{
    const QByteArray stored = m_state.storedText(id);
    if (stored.isEmpty())
        return {}; // an earlier run kept no text (--no-keep-text)
    const QString before = QString::fromUtf8(qUncompress(stored));
    const QString name = file.isEmpty() ? previous.finalUrl : QFileInfo(file).fileName();
    const QString stamp = QStringLiteral("%1\t%2");
    return UnifiedDiff::of(before, text, stamp.arg(name, previous.loadedAt.toString(Qt::ISODate)),
                           stamp.arg(name, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)));
}

SavedPage ChangeTracker::savedPageOf(const PageRecord &previous, const RowResult &result) const
{
    SavedPage saved;
    PageRecord &record = saved.record;
    record = previous;
    record.loadedAt = QDateTime::currentDateTimeUtc();
    const PageOutcome &page = result.page;
    if (page.notModified) {
        // A 304 may bring new validators; the text and links stay as stored.
        if (!page.etag.isEmpty())
            record.etag = page.etag;
        if (!page.lastModified.isEmpty())
            record.lastModified = page.lastModified;
        return saved;
    }
    record.finalUrl = page.finalUrl;
    record.etag = page.etag;
    record.lastModified = page.lastModified;
    if (m_settings.keepLinks)
        saved.links = compressedLinks(page.links);
    if (result.writtenSha256.isEmpty())
        return saved; // the file kept holds the text recorded
    record.outputSha256 = result.writtenSha256;
    record.textSha256 = sha256(page.content);
    record.collapsedSha256 = sha256(collapsed(page.content));
    saved.text = m_settings.keepText ? qCompress(page.content.toUtf8()) : QByteArray();
    return saved;
}
