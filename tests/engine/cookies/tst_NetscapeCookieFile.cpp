#include "engine/cookies/NetscapeCookieFile.h"
#include "fakes/TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// A cookie as one comparable line: domain path name=value secure httpOnly expires.
QString shown(const BrowserCookie &cookie)
{
    return QStringLiteral("%1 %2 %3=%4 %5%6 %7")
        .arg(cookie.domain, cookie.path, cookie.name, cookie.value)
        .arg(cookie.secure ? "S" : "-", cookie.httpOnly ? "H" : "-")
        .arg(cookie.expires);
}

QStringList shown(const QList<BrowserCookie> &cookies)
{
    QStringList result;
    for (const BrowserCookie &cookie : cookies)
        result.append(shown(cookie));
    return result;
}

} // namespace

class TestNetscapeCookieFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsCookiesAndNamesBadLines_data();
    void readsCookiesAndNamesBadLines();
    void whatIsWrittenReadsBackTheSame();
    void readsNoMoreThanTheEngineCanUse();
    void writesNoLinkAndKeepsTheFilePrivate();
};

void TestNetscapeCookieFile::readsCookiesAndNamesBadLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("cookies");
    QTest::addColumn<QStringList>("badLines"); // the "line N" each problem starts with

    QTest::newRow("curl's file, CRLF") << QByteArray(
        "# Netscape HTTP Cookie File\r\n"
        "\r\n"
        ".example.com\tTRUE\t/\tFALSE\t0\tsid\tabc\r\n"
        "#HttpOnly_shop.example.com\tFALSE\t/cart\tTRUE\t2000000000\ttoken\tx y=z\r\n")
                                       << QStringList{".example.com / sid=abc -- 0",
                                                      "shop.example.com /cart token=x y=z SH 2000000000"}
                                       << QStringList();
    QTest::newRow("the flag decides the leading dot")
        << QByteArray("Example.com\tTRUE\t/\tFALSE\t0\ta\t1\n"
                      ".example.net\tfalse\t\tFALSE\t0\tb\t\n"
                      "example.org\tFALSE\t/\tFALSE\t\tc\n")
        << QStringList{".example.com / a=1 -- 0", "example.net / b= -- 0", "example.org / c= -- 0"} << QStringList();
    QTest::newRow("bad lines are skipped by number")
        << QByteArray("# comment\n"
                      "too\tfew\tfields\n"
                      "ok.com\tFALSE\t/\tFALSE\t0\tn\tv\n"
                      "ok.com\tMAYBE\t/\tFALSE\t0\tn\tv\n"
                      "ok.com\tFALSE\t/\tFALSE\tsoon\tn\tv\n"
                      "ok.com\tFALSE\t/\tFALSE\t0\ta;b\tv\n"
                      "\tFALSE\t/\tFALSE\t0\tn\tv\n"
                      "ok.com\tFALSE\tx\tFALSE\t0\tn\tv\n"
                      "#HttpOnly_ok.com\tFALSE\t/\tFALSE\t-1\tn\tv\n"
                      "ok.com\tFALSE\t/\tFALSE\t0\ta=b\tv\n")
        << QStringList{"ok.com / n=v -- 0"}
        << QStringList{"line 2", "line 4", "line 5", "line 6", "line 7", "line 8", "line 9", "line 10"};
    QTest::newRow("expiries past 64 bits are as far off as can be")
        << QByteArray("a.com\tFALSE\t/\tFALSE\t99999999999999999999\tn\tv\n"
                      "b.com\tFALSE\t/\tFALSE\t"
                      + QByteArray(400, '9')
                      + "\tn\tv\n"
                        "c.com\tFALSE\t/\tFALSE\t9223372036854775807\tn\tv\n"
                        "d.com\tFALSE\t/\tFALSE\t1e400\tn\tv\n")
        << QStringList{"a.com / n=v -- 9223372036854775807", "b.com / n=v -- 9223372036854775807",
                       "c.com / n=v -- 9223372036854775807"}
        << QStringList{"line 4"};
}

void TestNetscapeCookieFile::readsCookiesAndNamesBadLines()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, cookies);
    QFETCH(QStringList, badLines);
    const NetscapeCookieFile::Contents contents = NetscapeCookieFile::parse(text);
    QCOMPARE(shown(contents.cookies), cookies);
    QStringList problemLines;
    for (const QString &problem : contents.problems)
        problemLines.append(problem.section(QLatin1Char(':'), 0, 0));
    QCOMPARE(problemLines, badLines);
}

void TestNetscapeCookieFile::whatIsWrittenReadsBackTheSame()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("cookies.txt"));
    NetscapeCookieFile::Contents contents;
    QString error;
    QVERIFY(!NetscapeCookieFile::read(path, &contents, &error));
    QVERIFY2(error.contains(path), qPrintable(error));

    const QByteArray text = "# Netscape HTTP Cookie File\n"
                            ".example.com\tTRUE\t/\tFALSE\t0\tsid\tgrüße\n"
                            "#HttpOnly_example.com\tFALSE\t/a b\tTRUE\t2000000000\ttoken\t\"q\"\n";
    QList<BrowserCookie> cookies = NetscapeCookieFile::parse(text).cookies;
    BrowserCookie unwritable = cookies.first();
    unwritable.value = QStringLiteral("a\tb");
    QVERIFY(NetscapeCookieFile::write(path, cookies + QList<BrowserCookie>{unwritable}, &error));
    QVERIFY(NetscapeCookieFile::read(path, &contents, &error));
    QCOMPARE(shown(contents.cookies), shown(cookies));
    QVERIFY(contents.problems.isEmpty());
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readLine().startsWith("# Netscape HTTP Cookie File"));
    QCOMPARE(written.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());
}

void TestNetscapeCookieFile::readsNoMoreThanTheEngineCanUse()
{
    QByteArray text;
    for (int i = 0; i < 200; ++i)
        text += (i % 2 ? "a.example.com" : ".example.com") + QByteArray("\tFALSE\t/\tFALSE\t0\tc")
            + QByteArray::number(i) + "\tv\n";
    text += "other.org\tFALSE\t/\tFALSE\t0\tlast\tv\n";
    const NetscapeCookieFile::Contents contents = NetscapeCookieFile::parse(text);
    QCOMPARE(contents.cookies.size(), NetscapeCookieFile::MaxCookiesPerSite + 1);
    QCOMPARE(contents.cookies.at(NetscapeCookieFile::MaxCookiesPerSite - 1).name, QStringLiteral("c179"));
    QCOMPARE(contents.cookies.last().name, QStringLiteral("last"));
    QCOMPARE(contents.problems,
             QStringList{QStringLiteral("200 cookies for example.com, more than the 180 the browser "
                                        "engine keeps for one site: those past the first 180")});

    // Neither a file past the bound nor one that never ends is read.
    QTemporaryDir folder;
    const QString large = folder.filePath(QStringLiteral("large.txt"));
    QFile file(large);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(NetscapeCookieFile::MaxFileBytes + 1));
    file.close();
    NetscapeCookieFile::Contents read;
    QString error;
    QVERIFY(!NetscapeCookieFile::read(large, &read, &error));
    QCOMPARE(error,
             QStringLiteral("cannot use %1: 67108865 bytes, more than the 64 MiB a cookies file may have").arg(large));
    QVERIFY(!NetscapeCookieFile::read(QStringLiteral("/dev/zero"), &read, &error));
    QCOMPARE(error, QStringLiteral("cannot read /dev/zero: not a regular file"));
}

void TestNetscapeCookieFile::writesNoLinkAndKeepsTheFilePrivate()
{
    QTemporaryDir folder;
    const QList<BrowserCookie> cookies =
        NetscapeCookieFile::parse(".example.com\tTRUE\t/\tFALSE\t0\tsid\tabc\n").cookies;
    const QString target = folder.filePath(QStringLiteral("target"));
    const QString link = folder.filePath(QStringLiteral("link.txt"));
    QString error;
    // A link to a file, or to none, is refused: nothing is written there or elsewhere.
    for (const bool targetThere : {false, true}) {
        if (targetThere)
            QVERIFY(writeTestFile(target, "mine"));
        QVERIFY(QFile::link(target, link));
        QVERIFY(!NetscapeCookieFile::write(link, cookies, &error));
        QCOMPARE(error, QStringLiteral("cannot write %1: it is a symbolic link").arg(link));
        QCOMPARE(readTestFile(target), targetThere ? QByteArray("mine") : QByteArray("<none>"));
        QCOMPARE(QFileInfo(link).symLinkTarget(), target);
        QVERIFY(QFile::remove(link));
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"target"});

    // A file others could read is replaced by one they cannot.
    const QString path = folder.filePath(QStringLiteral("cookies.txt"));
    QVERIFY(writeTestFile(path, "old"));
    QVERIFY(QFile::setPermissions(
        path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    QVERIFY(NetscapeCookieFile::write(path, cookies, &error));
    QCOMPARE(QFileInfo(path).permissions() & QFileDevice::Permissions(0x7077),
             QFileDevice::Permissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(NetscapeCookieFile::parse(readTestFile(path)).cookies.size(), 1);
}

QTEST_GUILESS_MAIN(TestNetscapeCookieFile)
#include "tst_NetscapeCookieFile.moc"
