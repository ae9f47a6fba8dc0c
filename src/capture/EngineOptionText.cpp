#include "capture/EngineOptionText.h"

#include "capture/RunOptionText.h"
#include "engine/CssSelectorCheck.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <optional>
#include <tuple>

namespace {

struct BlockedName {
    const char *name;
    EngineOptions::BlockedResource flag;
};

constexpr BlockedName BlockedNames[] = {
    {"images", EngineOptions::BlockImages},
    {"media", EngineOptions::BlockMedia},
    {"fonts", EngineOptions::BlockFonts},
    {"stylesheets", EngineOptions::BlockStylesheets},
};

const QString Loopback = QStringLiteral("<-loopback>");

bool hasControl(const QString &text)
{
    for (const QChar character : text) {
        if (character.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

// Chromium's proxy URI for a proxy address, with the credentials it carries.
struct ProxyAddress {
    QString uri;
    QString user;
    QString password;
};

std::optional<ProxyAddress> proxyAddress(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || hasControl(trimmed))
        return std::nullopt;
    // A bare "host:port" is an HTTP proxy, as curl reads it.
    const QUrl url(trimmed.contains(QLatin1String("://")) ? trimmed : QStringLiteral("http://") + trimmed,
                   QUrl::StrictMode);
    QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("socks5h") || scheme == QLatin1String("socks"))
        scheme = QStringLiteral("socks5");
    static const QHash<QString, int> defaultPorts{{QStringLiteral("http"), 80},
                                                  {QStringLiteral("https"), 443},
                                                  {QStringLiteral("socks4"), 1080},
                                                  {QStringLiteral("socks5"), 1080}};
    if (!url.isValid() || url.host().isEmpty() || !defaultPorts.contains(scheme)
        || (url.path() != QLatin1String("") && url.path() != QLatin1String("/")) || url.hasQuery() || url.hasFragment())
        return std::nullopt;
    QString host = url.host(QUrl::FullyEncoded);
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return ProxyAddress{QStringLiteral("%1://%2:%3").arg(scheme, host).arg(url.port(defaultPorts.value(scheme))),
                        url.userName(QUrl::FullyDecoded), url.password(QUrl::FullyDecoded)};
}

bool isIpv4(const QString &host)
{
    static const QRegularExpression dotted(QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
    const QRegularExpressionMatch match = dotted.match(host);
    if (!match.hasMatch())
        return false;
    for (int part = 1; part <= 4; ++part) {
        if (match.captured(part).toInt() > 255)
            return false;
    }
    return true;
}

bool isIpv6(const QString &host)
{
    static const QRegularExpression hexes(QStringLiteral("^[0-9A-Fa-f:.]+$"));
    return host.count(QLatin1Char(':')) >= 2 && hexes.match(host).hasMatch();
}

// One no_proxy entry as Chromium's bypass rules, as curl reads it: a name
// covers its subdomains, an address or a CIDR range only itself, and a port
// keeps the entry to that port. None for an entry that names nothing.
QStringList bypassRules(QString entry)
{
    if (entry.startsWith(QLatin1String("*.")))
        entry.remove(0, 1);
    if (entry.startsWith(QLatin1Char('.')))
        entry.remove(0, 1);
    if (entry.isEmpty() || hasControl(entry) || entry.contains(QLatin1Char(';')))
        return {};
    const qsizetype slash = entry.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        QString address = entry.left(slash);
        if (address.startsWith(QLatin1Char('[')) && address.endsWith(QLatin1Char(']')))
            address = address.mid(1, address.size() - 2);
        bool ok = false;
        const int bits = entry.mid(slash + 1).toInt(&ok);
        const int most = isIpv4(address) ? 32 : isIpv6(address) ? 128 : -1;
        if (!ok || bits < 0 || bits > most)
            return {};
        return {QStringLiteral("%1/%2").arg(address).arg(bits)};
    }
    QString host = entry;
    QString port;
    if (host.startsWith(QLatin1Char('['))) {
        const qsizetype close = host.indexOf(QLatin1Char(']'));
        if (close < 0)
            return {};
        port = host.mid(close + 1);
        host = host.mid(1, close - 1);
        if (!port.isEmpty() && !port.startsWith(QLatin1Char(':')))
            return {};
        port = port.mid(1);
    } else if (!isIpv6(host) && host.contains(QLatin1Char(':'))) {
        const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
        port = host.mid(colon + 1);
        host = host.left(colon);
    }
    if (!port.isEmpty()) {
        bool ok = false;
        const int number = port.toInt(&ok);
        if (!ok || number < 1 || number > 65535)
            return {};
        port = QLatin1Char(':') + QString::number(number);
    }
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    if (isIpv6(host))
        return {QLatin1Char('[') + host + QLatin1Char(']') + port};
    // A name holds no wildcard, nor anything else a URL's host cannot.
    static const QRegularExpression name(QStringLiteral("^[^*?\\s:/\\[\\]]+$"));
    if (!name.match(host).hasMatch())
        return {};
    if (isIpv4(host))
        return {host + port};
    return {host + port, QStringLiteral("*.") + host + port};
}

// no_proxy's entries (separated by commas or blanks) as Chromium's bypass list,
// or none when "*" turns the proxy off. Loopback goes through the proxy unless
// named: Chromium's later rules win, so "<-loopback>" goes first.
std::optional<QString> bypassList(const QString &noProxy)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    QStringList rules{Loopback};
    for (const QString &entry : noProxy.split(separators, Qt::SkipEmptyParts)) {
        if (entry == QLatin1String("*"))
            return std::nullopt;
        rules << bypassRules(entry);
    }
    return rules.join(QLatin1Char(','));
}

QString wanted(const QString &what, const QString &value)
{
    QString shown = value;
    for (QChar &character : shown) {
        if (character.category() == QChar::Other_Control)
            character = QChar::ReplacementCharacter;
    }
    return QStringLiteral("wants %1, not \"%2\"").arg(what, shown);
}

const QString ProxyWanted = QStringLiteral("a proxy such as http://host:port, https:// or socks5://");

// Seconds from `least`, stored as milliseconds in the field.
QString readSeconds(const QString &text, double least, int *field)
{
    const std::optional<int> milliseconds = RunOptionText::milliseconds(text, least);
    if (!milliseconds)
        return RunOptionText::refusal(QStringLiteral("a number of seconds"), text);
    *field = *milliseconds;
    return {};
}

} // namespace

QString EngineOptionText::readBlocked(const QString &text, EngineOptions &options)
{
    const QString list = text.trimmed().toLower();
    if (list == QLatin1String("none")) {
        options.blocked = 0;
        return {};
    }
    int blocked = 0;
    for (const QString &name : list.split(QLatin1Char(','))) {
        const auto known =
            std::find_if(std::begin(BlockedNames), std::end(BlockedNames),
                         [&](const BlockedName &entry) { return name.trimmed() == QLatin1String(entry.name); });
        if (known == std::end(BlockedNames))
            return wanted(QStringLiteral("none or a list of %1").arg(blockedNames()), text);
        blocked |= known->flag;
    }
    options.blocked = blocked;
    return {};
}

QString EngineOptionText::blockedNames()
{
    QStringList names;
    for (const BlockedName &entry : BlockedNames)
        names << QLatin1String(entry.name);
    return names.join(QLatin1Char(','));
}

QString EngineOptionText::blockedText(int blocked)
{
    QStringList names;
    for (const BlockedName &entry : BlockedNames) {
        if (blocked & entry.flag)
            names << QLatin1String(entry.name);
    }
    return names.isEmpty() ? QStringLiteral("none") : names.join(QLatin1Char(','));
}

QString EngineOptionText::readHeader(const QString &text, EngineOptions &options)
{
    static const QRegularExpression token(QStringLiteral("^[!#$%&'*+.^_`|~0-9A-Za-z-]+$"));
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const QString name = text.left(colon).trimmed();
    const QString value = text.mid(colon + 1).trimmed();
    if (colon < 0 || !token.match(name).hasMatch() || hasControl(value))
        return wanted(QStringLiteral("\"Name: value\" on one line"), text);
    if (name.compare(QLatin1String("Cookie"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("cannot set Cookie: give the cookies with --cookies FILE");
    if (name.compare(QLatin1String("Host"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("cannot set Host: it is the address's own");
    // The framing and the connection are the engine's: a value of the user's would break every request.
    static const char *const EngineManaged[] = {"Content-Length",  "Transfer-Encoding", "Connection", "Upgrade",
                                                "Expect",          "Keep-Alive",        "TE",         "Trailer",
                                                "Proxy-Connection"};
    for (const char *managed : EngineManaged) {
        if (name.compare(QLatin1String(managed), Qt::CaseInsensitive) == 0)
            return QStringLiteral("cannot set %1: the browser engine manages it").arg(QLatin1String(managed));
    }
    options.headers.append({name, value});
    return {};
}

QString EngineOptionText::readProxy(const QString &text, EngineOptions &options)
{
    const std::optional<ProxyAddress> proxy = proxyAddress(text);
    if (!proxy)
        return wanted(ProxyWanted, text);
    options.proxyRules = proxy->uri;
    options.proxyUser = proxy->user;
    options.proxyPassword = proxy->password;
    if (options.proxyBypass.isEmpty())
        options.proxyBypass = Loopback;
    return {};
}

QString EngineOptionText::readProxyEnvironment(const QProcessEnvironment &environment, EngineOptions &options)
{
    // Upper-case HTTP_PROXY is left alone, as curl leaves it (a CGI header can set it).
    const auto variable = [&](const QString &name, bool upperToo) {
        const QString value = environment.value(name);
        return value.isEmpty() && upperToo ? environment.value(name.toUpper()) : value;
    };
    const QString noProxy = variable(QStringLiteral("no_proxy"), true);
    const std::optional<QString> bypass = bypassList(noProxy);
    if (!bypass)
        return {};
    QStringList rules;
    ProxyAddress credentials;
    const QString all = variable(QStringLiteral("all_proxy"), true);
    for (const auto &[scheme, name, upperToo] :
         {std::tuple{QStringLiteral("http"), QStringLiteral("http_proxy"), false},
          std::tuple{QStringLiteral("https"), QStringLiteral("https_proxy"), true}}) {
        QString value = variable(name, upperToo);
        QString from = name;
        if (value.isEmpty()) {
            value = all;
            from = QStringLiteral("all_proxy");
        }
        if (value.isEmpty())
            continue;
        const std::optional<ProxyAddress> proxy = proxyAddress(value);
        if (!proxy)
            return QStringLiteral("%1 %2").arg(from, wanted(ProxyWanted, value));
        rules << QStringLiteral("%1=%2").arg(scheme, proxy->uri);
        if (credentials.user.isEmpty())
            credentials = *proxy;
    }
    if (rules.isEmpty())
        return {};
    options.proxyRules = rules.join(QLatin1Char(';'));
    options.proxyUser = credentials.user;
    options.proxyPassword = credentials.password;
    options.proxyBypass = *bypass;
    return {};
}

QString EngineOptionText::readLanguage(const QString &text, EngineOptions &options)
{
    static const QRegularExpression tag(QStringLiteral("^[A-Za-z]{2,8}(-[A-Za-z0-9]{1,8})*$"));
    if (!tag.match(text).hasMatch())
        return wanted(QStringLiteral("a language tag such as de-DE"), text);
    options.language = text;
    return {};
}

QString EngineOptionText::readUserAgent(const QString &text, EngineOptions &options)
{
    if (text.trimmed().isEmpty() || hasControl(text))
        return wanted(QStringLiteral("a user agent on one line"), text);
    options.userAgent = text.trimmed();
    return {};
}

QString EngineOptionText::readWaitFor(const QString &text, EngineOptions &options)
{
    return readSelector(text, &options.waitForSelector);
}

QString EngineOptionText::readSelect(const QString &text, EngineOptions &options)
{
    return readSelector(text, &options.selectParts);
}

QString EngineOptionText::readRemove(const QString &text, EngineOptions &options)
{
    return readSelector(text, &options.removeParts);
}

QString EngineOptionText::readSelector(const QString &text, QString *selector)
{
    if (text.trimmed().isEmpty() || hasControl(text))
        return wanted(QStringLiteral("a CSS selector"), text);
    const QString problem = CssSelectorCheck::problem(text.trimmed());
    if (!problem.isEmpty())
        return wanted(QStringLiteral("a CSS selector (%1)").arg(problem), text);
    *selector = text.trimmed();
    return {};
}

QString EngineOptionText::readTimeout(const QString &text, EngineOptions &options)
{
    return readSeconds(text, 0.1, &options.pageLimitMs);
}

QString EngineOptionText::readSettle(const QString &text, EngineOptions &options)
{
    return readSeconds(text, 0, &options.settleMs);
}

QString EngineOptionText::readDelay(const QString &text, EngineOptions &options)
{
    return readSeconds(text, 0, &options.delayMs);
}

QString EngineOptionText::readCaCertificate(const QString &text, EngineOptions &options)
{
    if (!RunOptionText::isReadableFile(text))
        return RunOptionText::refusal(QStringLiteral("a readable file"), text);
    options.caCertificateFile = text;
    return {};
}
