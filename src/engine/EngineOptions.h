#pragma once

#include "engine/BrowserCookie.h"

#include <QList>
#include <QSize>
#include <QString>

#include <utility>

// How the hidden browser loads each page.
struct EngineOptions {
    // What the page gives: the body's text, Markdown, or the kept HTML.
    enum class PageForm { Text, Markdown, Html };
    PageForm form = PageForm::Text;
    // The page's main article (Readability's) rather than the whole body.
    bool mainContent = false;
    // CSS selectors of the parts kept (the matching elements, in document order,
    // a match inside another not repeated) and removed before any form is made;
    // empty: the whole page.
    QString selectParts;
    QString removeParts;

    // Time for the main document to arrive and be parsed.
    int pageLimitMs = 60'000;
    // Longest settle after the load event; 0 takes the text at the load event.
    int settleMs = 3'000;
    // The quiet spell that ends the settle.
    int quietSpellMs = 300;
    // Layout viewport in CSS pixels.
    QSize windowSize{1280, 800};
    // Largest main document and largest text, in bytes and characters.
    qint64 pageCap = 16 * 1024 * 1024;
    // Most memory (PSS, in bytes) a page's renderer may use; past it the renderer
    // is killed and the row fails.
    qint64 pageMemoryCap = qint64(1) << 30;
    // How long a script run in the page may take before the page counts as hung.
    int scriptLimitMs = 5'000;

    // What the browser says. Empty: the engine's own user agent with
    // "HeadlessChrome" written as "Chrome", with matching client hints.
    QString userAgent;
    // Extra request headers ("Name", "value"), sent to the row's own origin only.
    QList<std::pair<QString, QString>> headers;
    // Accept-Language and navigator.language, such as "de-DE"; empty: from LANG, else en-US.
    QString language;
    // Chromium's proxy rules for every browser context ("http://host:port",
    // "socks5://host:port", or "http=host:port;https=host:port"); empty: direct.
    QString proxyRules;
    // Hosts that bypass the proxy, comma-separated as Chromium reads them
    // (loopback goes through the proxy unless this names it).
    QString proxyBypass;
    // Credentials the proxy asks for (Fetch.authRequired from a proxy).
    QString proxyUser;
    QString proxyPassword;
    // Credentials the rows' own hosts ask for (HTTP authentication).
    QString authUser;
    QString authPassword;
    // Certificate errors fail rows unless this is false; a CA certificate file
    // (PEM) the engine trusts besides its own.
    bool checkCertificates = true;
    QString caCertificateFile;
    // Cookies set in the row's browser context before every row.
    QList<BrowserCookie> cookies;

    // What a row waits for after the load event, before the settle: a fixed
    // pause, scrolling to the bottom, then an element matching a CSS selector.
    int delayMs = 0;
    bool scroll = false;
    QString waitForSelector;
    // A row whose wait-for selector never appears, or whose selectParts match
    // nothing, fails instead of being saved with a note (or whole).
    bool requireSelector = false;

    // Each loaded page answers its links too (PageOutcome::links), for a crawl.
    bool collectLinks = false;
    // Rows may be loaded with validators (IPage::loadIfChanged): the main
    // document is paused at its request stage to take them.
    bool conditionalLoads = false;

    // Resource types refused at the request stage (the favicon is never fetched).
    enum BlockedResource {
        BlockImages = 1,
        BlockMedia = 2,
        BlockFonts = 4,
        BlockStylesheets = 8,
    };
    int blocked = BlockMedia;

    bool plainText() const { return form == PageForm::Text && !mainContent; }

    // The longest a row can take, engine start included.
    int longestRowMs() const { return pageLimitMs + settleMs + scriptLimitMs + 15'000; }
};
