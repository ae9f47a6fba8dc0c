#include "app/EngineSettings.h"

#include "capture/EngineOptionText.h"
#include "capture/RunOptionText.h"
#include "crawl/CrawlOptionText.h"
#include "engine/cookies/NetscapeCookieFile.h"
#include "support/SettingsStore.h"

#include <utility>
#include <vector>

namespace {

using Read = EngineSettings::Read;
// Reads one key's value into the result; the problem, named by the key, or empty.
using Reader = std::function<QString(const QString &key, const QString &value, Read &read)>;

QString named(const QString &key, const QString &problem)
{
    return problem.isEmpty() ? problem : QStringLiteral("\"%1\" %2").arg(key, problem);
}

// A reader of the engine options' text forms.
Reader engineText(QString (*read)(const QString &, EngineOptions &))
{
    return [read](const QString &key, const QString &value, Read &result) {
        return named(key, read(value, result.options));
    };
}

// A reader of the run's own values.
Reader runText(QString (*read)(const QString &, int &), int Read::*field)
{
    return [read, field](const QString &key, const QString &value, Read &result) {
        return named(key, read(value, result.*field));
    };
}

// A "1" or "0" setting of the engine options.
Reader switchOf(bool EngineOptions::*field)
{
    return [field](const QString &key, const QString &value, Read &result) {
        return named(key, EngineSettings::readSwitch(value, result.options.*field));
    };
}

// A "1" or "0" setting of the run.
Reader runSwitch(bool Read::*field)
{
    return [field](const QString &key, const QString &value, Read &result) {
        return named(key, EngineSettings::readSwitch(value, result.*field));
    };
}

// A "1" or "0" setting of what changed.
Reader changeSwitch(bool ChangeTracker::Settings::*field)
{
    return [field](const QString &key, const QString &value, Read &result) {
        return named(key, EngineSettings::readSwitch(value, result.changes.*field));
    };
}

QString readFormat(const QString &key, const QString &value, Read &result)
{
    return named(key, RunOptionText::readFormat(value, result.format, result.options));
}

// One header a line.
QString readHeaders(const QString &key, const QString &value, Read &result)
{
    for (const QString &line : value.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString problem = EngineOptionText::readHeader(line, result.options);
        if (!problem.isEmpty())
            return named(key, problem);
    }
    return {};
}

// The cookies of a cookies.txt file; its skipped lines are named as problems.
QString readCookiesFile(const QString &key, const QString &path, Read &result)
{
    NetscapeCookieFile::Contents contents;
    QString error;
    if (!NetscapeCookieFile::read(path, &contents, &error))
        return QStringLiteral("\"%1\": %2").arg(key, error);
    for (const QString &problem : std::as_const(contents.problems))
        result.problems << QStringLiteral("\"%1\" %2 (skipped)").arg(key, problem);
    result.options.cookies = contents.cookies;
    return {};
}

QString readRules(const QString &key, const QString &path, Read &result)
{
    QString problem;
    return result.rules.read(path, &problem) ? QString() : QStringLiteral("\"%1\": %2").arg(key, problem);
}

const std::vector<std::pair<QString, Reader>> &readers()
{
    // The first five and the cookies in the order the window has always read them.
    static const std::vector<std::pair<QString, Reader>> table = {
        {SettingsKeys::UserAgent, engineText(EngineOptionText::readUserAgent)},
        {SettingsKeys::Proxy, engineText(EngineOptionText::readProxy)},
        {SettingsKeys::Block, engineText(EngineOptionText::readBlocked)},
        {SettingsKeys::Scroll, switchOf(&EngineOptions::scroll)},
        {SettingsKeys::WaitFor, engineText(EngineOptionText::readWaitFor)},
        {SettingsKeys::Format, readFormat},
        {SettingsKeys::MainContent, switchOf(&EngineOptions::mainContent)},
        {SettingsKeys::PagesAtOnce, runText(RunOptionText::readPagesAtOnce, &Read::pagesAtOnce)},
        {SettingsKeys::TimeLimit, engineText(EngineOptionText::readTimeout)},
        {SettingsKeys::Settle, engineText(EngineOptionText::readSettle)},
        {SettingsKeys::Delay, engineText(EngineOptionText::readDelay)},
        {SettingsKeys::RequireSelector, switchOf(&EngineOptions::requireSelector)},
        {SettingsKeys::Tries, runText(RunOptionText::readTries, &Read::tries)},
        {SettingsKeys::Wait, runText(RunOptionText::readHostWait, &Read::hostWaitMs)},
        {SettingsKeys::RulesFile, readRules},
        {SettingsKeys::Language, engineText(EngineOptionText::readLanguage)},
        {SettingsKeys::CaCertificate, engineText(EngineOptionText::readCaCertificate)},
        {SettingsKeys::CheckCertificates, switchOf(&EngineOptions::checkCertificates)},
        {SettingsKeys::Header, readHeaders},
        {SettingsKeys::CookiesFile, readCookiesFile},
        {SettingsKeys::FollowLinks, runSwitch(&Read::followLinks)},
        {SettingsKeys::LinkDepth, runText(CrawlOptionText::readLevel, &Read::level)},
        {SettingsKeys::MaxPages, runText(CrawlOptionText::readMaxPages, &Read::maxPages)},
        {SettingsKeys::TrackChanges, runSwitch(&Read::trackChanges)},
        {SettingsKeys::ChangedOnly, changeSwitch(&ChangeTracker::Settings::changedOnly)},
        {SettingsKeys::WriteDiffs, changeSwitch(&ChangeTracker::Settings::diff)},
        {SettingsKeys::IgnoreWhitespace, changeSwitch(&ChangeTracker::Settings::ignoreWhitespace)},
    };
    return table;
}

// Every value read into the result; the refusals, in the order of the keys.
// What is only noted (a skipped cookie line) goes into the result's problems.
QStringList readInto(const EngineSettings::Values &values, Read &result)
{
    QStringList refusals;
    for (const auto &[key, reader] : readers()) {
        const QString value = values(key);
        if (value.isEmpty())
            continue;
        Read tried = result;
        const QString problem = reader(key, value, tried);
        if (problem.isEmpty())
            result = tried;
        else
            refusals << problem;
    }
    // What changed is told against a state, which following links or tracking changes keeps.
    const std::pair<QString, bool ChangeTracker::Settings::*> needState[] = {
        {SettingsKeys::ChangedOnly, &ChangeTracker::Settings::changedOnly},
        {SettingsKeys::WriteDiffs, &ChangeTracker::Settings::diff},
        {SettingsKeys::IgnoreWhitespace, &ChangeTracker::Settings::ignoreWhitespace},
    };
    for (const auto &[key, field] : needState) {
        if (result.changes.*field && !result.keepsState()) {
            result.changes.*field = false;
            refusals << QStringLiteral("\"%1\" needs \"%2\" or \"%3\"")
                            .arg(key, SettingsKeys::TrackChanges, SettingsKeys::FollowLinks);
        }
    }
    // A crawl waits between two loads of a host unless told otherwise, as textorin-batch -r does.
    if (result.followLinks && values(SettingsKeys::Wait).isEmpty())
        result.hostWaitMs = CrawlSettings::DefaultWaitMs;
    // A state's rows may be asked for only if changed; a crawl takes each page's links.
    result.options.conditionalLoads = result.keepsState();
    result.options.collectLinks = result.followLinks;
    result.changes.keepLinks = result.followLinks;
    if (result.options.requireSelector && result.options.waitForSelector.isEmpty()) {
        result.options.requireSelector = false;
        refusals << QStringLiteral("\"%1\" needs \"%2\"").arg(SettingsKeys::RequireSelector, SettingsKeys::WaitFor);
    }
    return refusals;
}

} // namespace

EngineSettings::Read EngineSettings::read(const SettingsStore &settings, const EngineOptions &defaults,
                                          const QProcessEnvironment &environment)
{
    return read([&settings](const QString &key) { return settings.read(key); }, defaults, environment);
}

EngineSettings::Read EngineSettings::read(const Values &values, const EngineOptions &defaults,
                                          const QProcessEnvironment &environment)
{
    Read result;
    result.options = defaults;
    result.problems = readInto(values, result) + result.problems;
    if (values(SettingsKeys::Proxy).isEmpty() || result.options.proxyRules.isEmpty()) {
        const QString problem = EngineOptionText::readProxyEnvironment(environment, result.options);
        if (!problem.isEmpty())
            result.problems << problem;
    }
    return result;
}

QString EngineSettings::refusal(const Values &values)
{
    Read scratch;
    return readInto(values, scratch).value(0);
}

QStringList EngineSettings::keys()
{
    QStringList keys;
    for (const auto &entry : readers())
        keys << entry.first;
    return keys;
}

CrawlRows::Settings EngineSettings::Read::crawlSettings() const
{
    CrawlRows::Settings settings;
    // A list's rows with their state, no links followed, as textorin-batch --state has them.
    settings.crawl.level = followLinks ? level : 0;
    settings.crawl.maxPages = maxPages;
    settings.crawl.maxPagesPerHost = followLinks ? int(CrawlSettings::DefaultMaxPagesPerHost) : 0;
    settings.tracksChanges = true;
    settings.changes = changes;
    settings.writesDiffs = changes.diff && format != QLatin1String("json");
    return settings;
}

QString EngineSettings::readSwitch(const QString &value, bool &field)
{
    const QString word = value.trimmed().toLower();
    static const QStringList on{QStringLiteral("1"), QStringLiteral("true"), QStringLiteral("yes"),
                                QStringLiteral("on")};
    static const QStringList off{QStringLiteral("0"), QStringLiteral("false"), QStringLiteral("no"),
                                 QStringLiteral("off")};
    if (!on.contains(word) && !off.contains(word))
        return QStringLiteral("wants 1 or 0, not \"%1\"").arg(value);
    field = on.contains(word);
    return {};
}

QString EngineSettings::problemsText(const QStringList &problems)
{
    return QStringLiteral("These settings cannot be used, so their defaults are:\n\n")
        + problems.join(QLatin1Char('\n'));
}
