#pragma once

#include "engine/BrowserCookie.h"

#include <QHash>
#include <QList>
#include <QString>

// The cookies a run ends with: those it started with, changed by what its rows
// set, changed or removed. The last row to set a cookie of a name, domain and
// path wins; a cookie a row deleted (or let expire) is gone.
class CookieJar
{
public:
    explicit CookieJar(const QList<BrowserCookie> &start = {});

    // The cookies the run started with that a row at `host` starts from: those
    // of its site (its last two labels, which every host of its registrable
    // domain shares).
    QList<BrowserCookie> startFor(const QString &host) const;
    // The key of the site a host or cookie domain belongs to.
    static QString siteOf(const QString &host);
    // The cookies now, without those expired at `now` (seconds since the epoch).
    QList<BrowserCookie> cookies(qint64 now) const;

    // A row's cookies are being read; its changes follow with takeRow or dropRow.
    void expectRow() { ++m_rowsExpected; }
    // What a row's context held before it navigated and after it ended.
    void takeRow(const QList<BrowserCookie> &atStart, const QList<BrowserCookie> &atEnd);
    void dropRow();
    // Rows whose cookies are still being read.
    int rowsExpected() const { return m_rowsExpected; }
    void dropExpectedRows() { m_rowsExpected = 0; }

private:
    static QString slot(const BrowserCookie &cookie);
    void set(const BrowserCookie &cookie);

    QHash<QString, QList<BrowserCookie>> m_startBySite;
    QList<BrowserCookie> m_cookies;
    QHash<QString, qsizetype> m_index; // slot -> position in m_cookies
    int m_rowsExpected = 0;
};
