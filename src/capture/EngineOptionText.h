#pragma once

#include "engine/EngineOptions.h"

#include <QProcessEnvironment>
#include <QString>

// The engine options as people write them, on the command line and in the
// settings file: each reader checks one value and stores it, or returns what
// was wanted ("wants …") and leaves the options as they were.
class EngineOptionText
{
public:
    // "images,media,fonts,stylesheets" (any of them), or "none".
    static QString readBlocked(const QString &text, EngineOptions &options);
    // "Name: value", added to the headers; Cookie and Host are refused.
    static QString readHeader(const QString &text, EngineOptions &options);
    // "http://[user:password@]host[:port]", https:// or socks5://.
    static QString readProxy(const QString &text, EngineOptions &options);
    // The proxy of http_proxy, https_proxy (or HTTPS_PROXY) and all_proxy, and the
    // hosts of no_proxy, as curl and wget read them; a variable that cannot be
    // used is named in the problem.
    static QString readProxyEnvironment(const QProcessEnvironment &environment, EngineOptions &options);
    // A language tag such as "de-DE".
    static QString readLanguage(const QString &text, EngineOptions &options);
    static QString readUserAgent(const QString &text, EngineOptions &options);
    // A CSS selector whose syntax is plausible.
    static QString readWaitFor(const QString &text, EngineOptions &options);
    // The same, as the parts kept and the parts removed.
    static QString readSelect(const QString &text, EngineOptions &options);
    static QString readRemove(const QString &text, EngineOptions &options);
    // Seconds, as the page limit (at least 0.1), the settle and the pause after the load event.
    static QString readTimeout(const QString &text, EngineOptions &options);
    static QString readSettle(const QString &text, EngineOptions &options);
    static QString readDelay(const QString &text, EngineOptions &options);
    // A certificate authority's PEM file, there to be read.
    static QString readCaCertificate(const QString &text, EngineOptions &options);

    // The block list's names, for help and completion.
    static QString blockedNames();
    // The block list as readBlocked takes it.
    static QString blockedText(int blocked);

private:
    static QString readSelector(const QString &text, QString *selector);
};
