#include "engine/chromium/BrowserIdentity.h"

#include <QJsonArray>
#include <QSysInfo>

namespace {

QJsonObject brand(const QString &name, const QString &version)
{
    return {{QStringLiteral("brand"), name}, {QStringLiteral("version"), version}};
}

// The engine's CPU architecture and bitness as client hints name them.
std::pair<QString, QString> architecture()
{
    const QString cpu = QSysInfo::currentCpuArchitecture();
    if (cpu == QLatin1String("x86_64"))
        return {QStringLiteral("x86"), QStringLiteral("64")};
    if (cpu == QLatin1String("i386"))
        return {QStringLiteral("x86"), QStringLiteral("32")};
    if (cpu == QLatin1String("arm64"))
        return {QStringLiteral("arm"), QStringLiteral("64")};
    if (cpu.startsWith(QLatin1String("arm")))
        return {QStringLiteral("arm"), QStringLiteral("32")};
    return {};
}

} // namespace

void BrowserIdentity::setOptions(const EngineOptions &options)
{
    m_chosenUserAgent = options.userAgent;
    m_language =
        options.language.isEmpty() ? languageOfLocale(qEnvironmentVariable("LANG")) : options.language.trimmed();
    m_language.replace(QLatin1Char('_'), QLatin1Char('-'));
}

QString BrowserIdentity::languageOfLocale(const QString &locale)
{
    // language[_territory][.codeset][@modifier]
    QString tag = locale.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    if (tag.isEmpty() || tag == QLatin1String("C") || tag == QLatin1String("POSIX"))
        return QStringLiteral("en-US");
    return tag.replace(QLatin1Char('_'), QLatin1Char('-'));
}

QString BrowserIdentity::languageList(const QString &language)
{
    // A list given as such is taken as it is.
    if (language.contains(QLatin1Char(',')))
        return language;
    const QString primary = language.section(QLatin1Char('-'), 0, 0);
    return primary == language ? language : language + QLatin1Char(',') + primary;
}

void BrowserIdentity::setEngineVersion(const QJsonObject &version)
{
    m_userAgent = version.value(QStringLiteral("userAgent")).toString();
    m_userAgent.replace(QLatin1String("HeadlessChrome/"), QLatin1String("Chrome/"));
    // "Chrome/156.0.8078.129"
    m_fullVersion = version.value(QStringLiteral("product")).toString().section(QLatin1Char('/'), 1);
}

QJsonObject BrowserIdentity::userAgentOverride() const
{
    QJsonObject params{{QStringLiteral("acceptLanguage"), languageList(m_language)}};
    if (!m_chosenUserAgent.isEmpty()) {
        params.insert(QStringLiteral("userAgent"), m_chosenUserAgent);
        return params;
    }
    if (m_userAgent.isEmpty())
        return {};
    params.insert(QStringLiteral("userAgent"), m_userAgent);
    params.insert(QStringLiteral("userAgentMetadata"), clientHints());
    return params;
}

QJsonObject BrowserIdentity::localeOverride() const
{
    return {{QStringLiteral("locale"), m_language.section(QLatin1Char(','), 0, 0).section(QLatin1Char(';'), 0, 0)}};
}

QJsonObject BrowserIdentity::clientHints() const
{
    // The GREASE brand and the order of the brands follow from the major
    // version, as the engine derives them for itself.
    const QString major = m_fullVersion.section(QLatin1Char('.'), 0, 0);
    const int seed = major.toInt();
    static const char greasyChars[] = {' ', '(', ':', '-', '.', '/', ')', ';', '=', '?', '_'};
    static const char *const greasyVersions[] = {"8", "99", "24"};
    const QString grease = QStringLiteral("Not") + QLatin1Char(greasyChars[seed % 11]) + QLatin1Char('A')
        + QLatin1Char(greasyChars[(seed + 1) % 11]) + QStringLiteral("Brand");
    const QString greaseVersion = QLatin1String(greasyVersions[seed % 3]);
    QJsonArray brands{brand(grease, greaseVersion), brand(QStringLiteral("Chromium"), major)};
    QJsonArray fullVersions{brand(grease, greaseVersion + QLatin1String(".0.0.0")),
                            brand(QStringLiteral("Chromium"), m_fullVersion)};
    if (seed % 2 == 1) {
        brands = QJsonArray{brands.at(1), brands.at(0)};
        fullVersions = QJsonArray{fullVersions.at(1), fullVersions.at(0)};
    }
    const auto [arch, bitness] = architecture();
    return {{QStringLiteral("brands"), brands},
            {QStringLiteral("fullVersionList"), fullVersions},
            {QStringLiteral("platform"), QStringLiteral("Linux")},
            {QStringLiteral("platformVersion"), QString()},
            {QStringLiteral("architecture"), arch},
            {QStringLiteral("model"), QString()},
            {QStringLiteral("mobile"), false},
            {QStringLiteral("bitness"), bitness},
            {QStringLiteral("wow64"), false}};
}
