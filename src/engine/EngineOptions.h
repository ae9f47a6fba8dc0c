#pragma once

#include <QSize>
#include <QString>

// How the hidden browser loads each page.
struct EngineOptions {
    // What the page gives: the body's text, Markdown, or the kept HTML.
    enum class PageForm { Text, Markdown, Html };
    PageForm form = PageForm::Text;
    // The page's main article (Readability's) rather than the whole body.
    bool mainContent = false;

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

    bool plainText() const { return form == PageForm::Text && !mainContent; }

    // The longest a row can take, engine start included.
    int longestRowMs() const { return pageLimitMs + settleMs + scriptLimitMs + 15'000; }
};
