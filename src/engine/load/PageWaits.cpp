#include "engine/load/PageWaits.h"

#include "engine/EngineOptions.h"
#include "engine/devtools/IDevToolsSession.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

constexpr int StepMs = 100;
constexpr int MostScrollSteps = 20;
// The bottom is reached for good once the height stays for this many steps.
constexpr int StillStepsAtBottom = 2;

QString scriptText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The selector as a JavaScript string literal.
QString literal(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace

PageWaits::PageWaits(IDevToolsSession &session, const EngineOptions &options, QObject *parent)
    : QObject(parent), m_delayMs(options.delayMs), m_scroll(options.scroll), m_selector(options.waitForSelector),
      m_requireSelector(options.requireSelector), m_poll(session)
{
    if (m_scroll)
        m_scrollScript = scriptText(QStringLiteral(":/engine/scroll.js"));
    if (!m_selector.isEmpty())
        m_selectorCheck = scriptText(QStringLiteral(":/engine/selector.js")) + QLatin1Char('(') + literal(m_selector)
            + QLatin1Char(')');
    connect(&m_poll, &PagePoll::due, this, &PageWaits::runStep);
    connect(&m_poll, &PagePoll::hung, this, [this] {
        stop();
        Q_EMIT hung();
    });
}

void PageWaits::start(const QDeadlineTimer &deadline)
{
    stop();
    m_deadline = deadline;
    m_scrollSteps = 0;
    m_stillSteps = 0;
    m_lastHeight = -1;
    enter(Step::Pause);
}

void PageWaits::stop()
{
    m_step = Step::Done;
    m_poll.stop();
}

void PageWaits::enter(Step step)
{
    m_step = step;
    switch (step) {
    case Step::Pause:
        if (m_delayMs <= 0)
            return enter(Step::Scroll);
        m_poll.after(int(m_deadline.isForever() ? m_delayMs : std::min<qint64>(m_delayMs, m_deadline.remainingTime())));
        return;
    case Step::Scroll:
    case Step::ScrollBack:
        if (!m_scroll)
            return enter(Step::Selector);
        return runStep();
    case Step::Selector:
        if (m_selector.isEmpty())
            return endWith({});
        return runStep();
    case Step::Done: return;
    }
}

void PageWaits::runStep()
{
    switch (m_step) {
    case Step::Pause: return enter(Step::Scroll);
    case Step::Scroll:
        ++m_scrollSteps;
        return evaluate(m_scrollScript + QStringLiteral("(false)"),
                        [this](const QJsonValue &value) { onScrolled(value); });
    case Step::ScrollBack:
        return evaluate(m_scrollScript + QStringLiteral("(true)"),
                        [this](const QJsonValue &) { enter(Step::Selector); });
    case Step::Selector:
        return evaluate(m_selectorCheck, [this](const QJsonValue &value) { onSelectorChecked(value); });
    case Step::Done: return;
    }
}

void PageWaits::evaluate(const QString &expression, std::function<void(const QJsonValue &)> onValue)
{
    m_poll.evaluate(expression, m_deadline, [onValue](const QJsonObject &result) {
        // A step that failed in the page counts as one that found nothing.
        onValue(result.value(QStringLiteral("result")).toObject().value(QStringLiteral("value")));
    });
}

void PageWaits::onScrolled(const QJsonValue &value)
{
    const QJsonObject state = value.toObject();
    const double height = state.value(QStringLiteral("height")).toDouble(-1);
    const bool atBottom = state.value(QStringLiteral("atBottom")).toBool(true);
    m_stillSteps = atBottom && height == m_lastHeight ? m_stillSteps + 1 : 0;
    m_lastHeight = height;
    if (m_stillSteps >= StillStepsAtBottom || m_scrollSteps >= MostScrollSteps || m_deadline.hasExpired()
        || !state.contains(QStringLiteral("height")))
        enter(Step::ScrollBack);
    else
        m_poll.after(StepMs);
}

void PageWaits::onSelectorChecked(const QJsonValue &value)
{
    const QString state = value.toString();
    if (state == QLatin1String("shown"))
        endWith({});
    else if (state == QLatin1String("invalid"))
        fail(QStringLiteral("invalid selector: %1").arg(m_selector));
    else if (!m_deadline.hasExpired())
        m_poll.after(StepMs);
    else if (m_requireSelector)
        fail(QStringLiteral("selector not found"));
    else
        endWith(QStringLiteral("selector not found"));
}

void PageWaits::endWith(const QString &note)
{
    stop();
    Q_EMIT finished(note);
}

void PageWaits::fail(const QString &reason)
{
    stop();
    Q_EMIT failed(reason);
}
