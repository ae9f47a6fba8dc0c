#pragma once

#include <QString>

class QUrl;

// What the hidden browser does with the text of one row.
struct PageAddress {
    enum Kind { Load, Refuse };

    Kind kind = Load;
    QString url; // the address to load (Load)
    QString reason; // why it is not loaded (Refuse)

    // Empty and blank rows load about:blank; rows without a scheme are taken as
    // typed into an address bar; only http, https, file, data and about:blank load.
    static PageAddress fromRow(const QString &row);

    // Whether the address is an http or https one.
    static bool isWeb(const QUrl &url);
    // The origin of an http or https address ("https://host:443"), to compare
    // whose a request is; empty for other addresses.
    static QString originOf(const QUrl &url);

    // The address as messages show it: quoted when blank, shortened when huge.
    static QString shown(const QString &row);

    // The row as listed, without the user info of its address ("https://me:pw@h/"
    // gives "https://h/"), as names, lines and records write it; the page still
    // loads with it.
    static QString withoutUserInfo(const QString &row);

    // The engine's own limit on an address.
    static constexpr qsizetype MaxLength = 2 * 1024 * 1024;
};
