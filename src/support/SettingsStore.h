#pragma once

#include <QString>

// The per-user store of text values, addressed by application, section and key.
class SettingsStore
{
public:
    // The user's own store in the per-user configuration location:
    // <config>/Tavrine/Tavrine.ini, section [Textorin].
    SettingsStore();
    // A store kept in the given INI file (tests, other profiles).
    explicit SettingsStore(const QString &iniFile);

    QString read(const QString &key, const QString &defaultValue = QString()) const;
    void write(const QString &key, const QString &value);

    QString fileName() const { return m_fileName; }

    static QString applicationName() { return QStringLiteral("Tavrine"); }
    static QString section() { return QStringLiteral("Textorin"); }
    static QString defaultFileName();

private:
    // A file QSettings cannot parse is kept beside the store and a fresh one begun.
    void setAsideDamagedFile() const;

    QString m_fileName;
};

namespace SettingsKeys {

inline const QString DownloadLocation = QStringLiteral("Download Location");
inline const QString LastFolderDot = QStringLiteral("LastFolderDot");
// "0" turns the start-up's online check off; the program never writes it.
inline const QString OnlineCheck = QStringLiteral("Online Check");
// The window's page options, in the batch's text forms, read when a run starts
// and written by the options dialog. What to save:
inline const QString Format = QStringLiteral("Format");
inline const QString MainContent = QStringLiteral("Main Content");
// How to load; "Pages At Once" (1, the default, to 32) is read when the program starts.
inline const QString PagesAtOnce = QStringLiteral("Pages At Once");
inline const QString TimeLimit = QStringLiteral("Time Limit");
inline const QString Settle = QStringLiteral("Settle");
inline const QString Delay = QStringLiteral("Delay");
inline const QString Scroll = QStringLiteral("Scroll");
inline const QString WaitFor = QStringLiteral("Wait For");
inline const QString RequireSelector = QStringLiteral("Require Selector");
inline const QString Block = QStringLiteral("Block");
inline const QString Tries = QStringLiteral("Tries");
inline const QString Wait = QStringLiteral("Wait");
// A rules file: page options per address pattern, as textorin-batch --rules reads it.
inline const QString RulesFile = QStringLiteral("Rules File");
// Who the browser is; "Header" holds one "Name: value" a line.
inline const QString UserAgent = QStringLiteral("User Agent");
inline const QString Language = QStringLiteral("Language");
inline const QString CookiesFile = QStringLiteral("Cookies File");
inline const QString Proxy = QStringLiteral("Proxy");
inline const QString CaCertificate = QStringLiteral("CA Certificate");
inline const QString CheckCertificates = QStringLiteral("Check Certificates");
inline const QString Header = QStringLiteral("Header");
// Following links and what changed since the last run (a state in the folder).
inline const QString FollowLinks = QStringLiteral("Follow Links");
inline const QString LinkDepth = QStringLiteral("Link Depth");
inline const QString MaxPages = QStringLiteral("Max Pages");
inline const QString TrackChanges = QStringLiteral("Track Changes");
inline const QString ChangedOnly = QStringLiteral("Changed Only");
inline const QString WriteDiffs = QStringLiteral("Write Diffs");
inline const QString IgnoreWhitespace = QStringLiteral("Ignore Whitespace");

} // namespace SettingsKeys
