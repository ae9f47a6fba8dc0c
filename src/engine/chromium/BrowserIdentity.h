#pragma once

#include "engine/EngineOptions.h"

#include <QJsonObject>
#include <QString>

// What every page of the engine says about itself: the engine's own user agent
// with "HeadlessChrome" written as "Chrome" and client hints to match (brands
// with its major version and the GREASE brand it would add itself), or the
// user agent chosen, which goes without client hints; and its language, in
// Accept-Language, navigator.languages and Intl's locale.
class BrowserIdentity
{
public:
    explicit BrowserIdentity(const EngineOptions &options) { setOptions(options); }

    // The chosen user agent and language; the engine's version stays.
    void setOptions(const EngineOptions &options);

    // The engine's version, from Browser.getVersion's result.
    void setEngineVersion(const QJsonObject &version);
    // Emulation.setUserAgentOverride's parameters; empty until the engine's
    // version is known (with a chosen user agent, at once).
    QJsonObject userAgentOverride() const;
    // Emulation.setLocaleOverride's parameters.
    QJsonObject localeOverride() const;

    const QString &language() const { return m_language; }
    // A POSIX locale such as "de_DE.UTF-8" (LANG's value) as a language tag;
    // "en-US" for C, POSIX and none.
    static QString languageOfLocale(const QString &locale);
    // The languages in preference order, such as "de-DE,de" (the engine adds the q-values).
    static QString languageList(const QString &language);

private:
    QJsonObject clientHints() const;

    QString m_chosenUserAgent;
    QString m_language;
    QString m_userAgent; // the engine's own, empty until known
    QString m_fullVersion; // such as "156.0.8078.129"
};
