#pragma once

#include "engine/PageValidators.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

class ChromiumBrowser;
class PageContext;

// Asks a row's server whether its document changed since the validators, in a
// browser context and target kept for these questions alone, so that an
// unchanged page costs its row no context of its own. Nothing is rendered:
// every answer is ended at its head, and the context's cookies are cleared
// after each question. A question it cannot answer (no answer in time, a
// redirect, an error) is answered "not known", and the row loads as usual.
class ConditionalProbe : public QObject
{
    Q_OBJECT

public:
    struct Answer {
        bool notModified = false;
        QString finalUrl;
        PageValidators validators; // as the 304 carried them
    };
    using Done = std::function<void(const Answer &answer)>;

    explicit ConditionalProbe(ChromiumBrowser &browser, QObject *parent = nullptr);
    ~ConditionalProbe() override;

    // Whether a row of the address may be asked about: its request would carry
    // nothing a question does not (cookies, credentials, extra headers).
    bool serves(const QString &address) const;
    // Asks, after the questions before it; `done` is called once, later,
    // unless the browser stops first.
    void ask(const QString &address, const PageValidators &validators, Done done);

private:
    struct Question {
        QString address;
        PageValidators validators;
        Done done;
    };
    void askNext();
    void onEvent(const QString &method, const QJsonObject &params);
    void onRequest(const QString &requestId, const QJsonObject &params);
    void onResponse(const QString &requestId, const QJsonObject &params);
    void answer(const Answer &answer);
    void reset();

    ChromiumBrowser &m_browser;
    std::unique_ptr<PageContext> m_context;
    std::deque<Question> m_questions;
    bool m_asking = false;
    quint64 m_asked = 0; // questions asked: a late reply to an earlier one is not this one's
    QTimer m_limit;
};
