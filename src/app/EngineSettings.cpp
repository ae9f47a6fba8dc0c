#include "app/EngineSettings.h"

#include "capture/EngineOptionText.h"
#include "engine/cookies/NetscapeCookieFile.h"
#include "support/SettingsStore.h"

#include <functional>

namespace {

using Reader = std::function<QString(const QString &value, EngineOptions &options)>;

QString readScroll(const QString &value, EngineOptions &options)
{
    const QString word = value.trimmed().toLower();
    static const QStringList on{QStringLiteral("1"), QStringLiteral("true"), QStringLiteral("yes"),
                                QStringLiteral("on")};
    static const QStringList off{QStringLiteral("0"), QStringLiteral("false"), QStringLiteral("no"),
                                 QStringLiteral("off")};
    if (!on.contains(word) && !off.contains(word))
        return QStringLiteral("wants 1 or 0, not \"%1\"").arg(value);
    options.scroll = on.contains(word);
    return {};
}

// The cookies of a cookies.txt file; its skipped lines are named as problems.
void readCookiesFile(const QString &path, EngineSettings::Read &result)
{
    const QString key = SettingsKeys::CookiesFile;
    NetscapeCookieFile::Contents contents;
    QString error;
    if (!NetscapeCookieFile::read(path, &contents, &error)) {
        result.problems << QStringLiteral("\"%1\": %2").arg(key, error);
        return;
    }
    for (const QString &problem : std::as_const(contents.problems))
        result.problems << QStringLiteral("\"%1\" %2 (skipped)").arg(key, problem);
    result.options.cookies = contents.cookies;
}

} // namespace

EngineSettings::Read EngineSettings::read(const SettingsStore &settings, const EngineOptions &defaults,
                                          const QProcessEnvironment &environment)
{
    Read result{defaults, {}};
    const std::pair<QString, Reader> readers[] = {
        {SettingsKeys::UserAgent, EngineOptionText::readUserAgent}, {SettingsKeys::Proxy, EngineOptionText::readProxy},
        {SettingsKeys::Block, EngineOptionText::readBlocked},       {SettingsKeys::Scroll, readScroll},
        {SettingsKeys::WaitFor, EngineOptionText::readWaitFor},
    };
    for (const auto &[key, reader] : readers) {
        const QString value = settings.read(key);
        if (value.isEmpty())
            continue;
        EngineOptions tried = result.options;
        const QString problem = reader(value, tried);
        if (problem.isEmpty())
            result.options = tried;
        else
            result.problems << QStringLiteral("\"%1\" %2").arg(key, problem);
    }
    const QString cookiesFile = settings.read(SettingsKeys::CookiesFile);
    if (!cookiesFile.isEmpty())
        readCookiesFile(cookiesFile, result);
    if (settings.read(SettingsKeys::Proxy).isEmpty() || result.options.proxyRules.isEmpty()) {
        const QString problem = EngineOptionText::readProxyEnvironment(environment, result.options);
        if (!problem.isEmpty())
            result.problems << problem;
    }
    return result;
}

QString EngineSettings::problemsText(const QStringList &problems)
{
    return QStringLiteral("These settings cannot be used, so their defaults are:\n\n")
        + problems.join(QLatin1Char('\n'));
}
