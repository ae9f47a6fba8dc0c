#include "batch/FailureHints.h"

#include "capture/RowResult.h"

FailureHints::Kind FailureHints::kindOf(const RowResult &result)
{
    if (result.outcome != RowResult::Outcome::Failed)
        return Kind::None;
    const QString &reason = result.reason;
    if (reason.contains(QLatin1String("ERR_CERT_")) || reason.contains(QLatin1String("ERR_SSL_")))
        return Kind::Certificate;
    if (reason.startsWith(QLatin1String("timed out")))
        return Kind::TimedOut;
    if (result.page.httpStatus == 429 || result.page.httpStatus == 503)
        return Kind::Busy;
    return Kind::None;
}

QString FailureHints::text(Kind kind)
{
    switch (kind) {
    case Kind::Certificate:
        return QStringLiteral("--ca-certificate FILE trusts the site's CA; --no-check-certificate trusts any "
                              "certificate");
    case Kind::TimedOut: return QStringLiteral("--timeout SECONDS gives each page longer");
    case Kind::Busy:
        return QStringLiteral("the server is busy: --tries N loads a page again, --wait SECONDS paces the loads "
                              "of a host");
    case Kind::FeedAsSitemap: return QStringLiteral("--feed reads it");
    case Kind::None:
    case Kind::Count: break;
    }
    return {};
}

QString FailureHints::firstFor(const RowResult &result)
{
    const Kind kind = kindOf(result);
    if (kind == Kind::None || m_given[int(kind)])
        return {};
    m_given[int(kind)] = true;
    return text(kind);
}
