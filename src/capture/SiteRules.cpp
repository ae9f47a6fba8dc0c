#include "capture/SiteRules.h"

#include "capture/EngineOptionText.h"
#include "capture/RunAddresses.h"
#include "capture/RunOptionText.h"
#include "engine/cookies/NetscapeCookieFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

using Reader = QString (*)(const QString &, EngineOptions &);

// The readers of the keys that are page options alone.
const QList<std::pair<QString, Reader>> &engineReaders()
{
    static const QList<std::pair<QString, Reader>> readers{
        {QStringLiteral("select"), EngineOptionText::readSelect},
        {QStringLiteral("remove"), EngineOptionText::readRemove},
        {QStringLiteral("wait-for"), EngineOptionText::readWaitFor},
        {QStringLiteral("delay"), EngineOptionText::readDelay},
        {QStringLiteral("block"), EngineOptionText::readBlocked},
        {QStringLiteral("header"), EngineOptionText::readHeader},
        {QStringLiteral("timeout"), EngineOptionText::readTimeout},
        {QStringLiteral("user-agent"), EngineOptionText::readUserAgent},
    };
    return readers;
}

QString readSwitch(const QString &text, bool &value)
{
    static const QStringList on{QStringLiteral("true"), QStringLiteral("yes"), QStringLiteral("1")};
    static const QStringList off{QStringLiteral("false"), QStringLiteral("no"), QStringLiteral("0")};
    if (!on.contains(text) && !off.contains(text))
        return RunOptionText::refusal(QStringLiteral("true or false"), text);
    value = on.contains(text);
    return {};
}

// The pattern of a section's head, or an invalid expression.
QRegularExpression patternExpression(const QString &pattern)
{
    if (pattern.startsWith(QLatin1String("re:")))
        return QRegularExpression(pattern.mid(3));
    // A glob: * and ? match any characters, slashes too; nothing else is special.
    QString expression;
    for (const QChar c : pattern) {
        if (c == QLatin1Char('*'))
            expression += QLatin1String(".*");
        else if (c == QLatin1Char('?'))
            expression += QLatin1Char('.');
        else
            expression += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(expression),
                              QRegularExpression::DotMatchesEverythingOption);
}

// A Netscape cookies file (its path absolute by now): every line must read.
QString readCookies(const QString &path, EngineOptions &options)
{
    NetscapeCookieFile::Contents contents;
    QString error;
    if (!NetscapeCookieFile::read(path, &contents, &error))
        return error;
    if (!contents.problems.isEmpty())
        return QStringLiteral("%1: %2").arg(path, contents.problems.first());
    options.cookies = contents.cookies;
    return {};
}

} // namespace

const QStringList &SiteRules::keys()
{
    static const QStringList names = [] {
        QStringList all{QStringLiteral("main-content"), QStringLiteral("format"), QStringLiteral("scroll"),
                        QStringLiteral("tries"),        QStringLiteral("wait"),   QStringLiteral("cookies")};
        for (const auto &reader : engineReaders())
            all << reader.first;
        all.sort();
        return all;
    }();
    return names;
}

QString SiteRules::apply(const Setting &setting, RowSettings &settings)
{
    const QString &key = setting.key;
    if (key == QLatin1String("main-content"))
        return readSwitch(setting.value, settings.engine.mainContent);
    if (key == QLatin1String("scroll"))
        return readSwitch(setting.value, settings.engine.scroll);
    if (key == QLatin1String("format"))
        return RunOptionText::readFormat(setting.value, settings.format, settings.engine);
    if (key == QLatin1String("tries"))
        return RunOptionText::readTries(setting.value, settings.tries);
    if (key == QLatin1String("cookies"))
        return readCookies(setting.value, settings.engine);
    if (key == QLatin1String("wait"))
        return RunOptionText::readHostWait(setting.value, settings.hostWaitMs);
    for (const auto &[name, reader] : engineReaders()) {
        if (name == key)
            return reader(setting.value, settings.engine);
    }
    return QStringLiteral("unknown key \"%1\" (%2)").arg(key, keys().join(QStringLiteral(", ")));
}

bool SiteRules::read(const QString &path, QString *problem)
{
    m_rules.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *problem = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    const auto refuse = [&](int line, const QString &why) {
        *problem = QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(why);
        m_rules.clear();
        return false;
    };
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const QString pattern =
                line.endsWith(QLatin1Char(']')) ? line.mid(1, line.size() - 2).trimmed() : QString();
            const QRegularExpression match = patternExpression(pattern);
            if (pattern.isEmpty() || pattern == QLatin1String("re:") || !match.isValid())
                return refuse(i + 1, QStringLiteral("a bad pattern \"%1\"").arg(line));
            m_rules.append({pattern, match, {}});
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return refuse(i + 1, QStringLiteral("wants [PATTERN] or KEY = VALUE, not \"%1\"").arg(line));
        if (m_rules.isEmpty())
            return refuse(i + 1, QStringLiteral("a setting before the first [PATTERN]"));
        Setting setting{line.left(equals).trimmed(), line.mid(equals + 1).trimmed()};
        // A cookies file is found beside the rules file.
        if (setting.key == QLatin1String("cookies") && !setting.value.isEmpty())
            setting.value = QFileInfo(path).dir().absoluteFilePath(QDir::fromNativeSeparators(setting.value));
        // Each value is checked as it would be applied.
        RowSettings checked;
        const QString wanted = apply(setting, checked);
        if (!wanted.isEmpty())
            return refuse(i + 1, keys().contains(setting.key) ? setting.key + QStringLiteral(": ") + wanted : wanted);
        m_rules.last().settings.append(setting);
    }
    return true;
}

bool SiteRules::setsFormat() const
{
    for (const Rule &rule : m_rules) {
        for (const Setting &setting : rule.settings) {
            if (setting.key == QLatin1String("format"))
                return true;
        }
    }
    return false;
}

int SiteRules::ruleFor(const QString &row) const
{
    const QString address = RunAddresses::keyOf(row);
    for (int i = 0; i < m_rules.size(); ++i) {
        if (m_rules.at(i).match.match(address).hasMatch())
            return i;
    }
    return -1;
}

RowSettings SiteRules::applied(int rule, const RowSettings &base) const
{
    RowSettings settings = base;
    bool headers = false;
    for (const Setting &setting : m_rules.at(rule).settings) {
        // A rule's headers replace the run's.
        if (setting.key == QLatin1String("header") && !std::exchange(headers, true))
            settings.engine.headers.clear();
        apply(setting, settings);
    }
    return settings;
}
