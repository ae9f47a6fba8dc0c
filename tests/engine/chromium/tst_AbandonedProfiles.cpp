#include "engine/chromium/AbandonedProfiles.h"
#include "engine/chromium/ProfileFolder.h"
#include "fakes/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

class TestAbandonedProfiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlyFoldersNoProgramHoldsAreRemoved();
};

namespace {

// A folder `name` in `base`, with a lock file nobody holds when `locked` is set,
// last changed `ageSecs` ago.
QString folder(const QDir &base, const QString &name, bool locked, qint64 ageSecs)
{
    const QString path = base.filePath(name);
    if (!base.mkpath(name + QStringLiteral("/p")))
        return {};
    if (locked)
        writeTestFile(path + QLatin1Char('/') + QLatin1String(ProfileFolder::LockName));
    const timespec when{time(nullptr) - ageSecs, 0};
    const timespec times[2]{when, when};
    for (const QString &changed : {path + QStringLiteral("/p"), path}) {
        if (::utimensat(AT_FDCWD, QFile::encodeName(changed).constData(), times, 0) != 0)
            return {};
    }
    return path;
}

} // namespace

void TestAbandonedProfiles::onlyFoldersNoProgramHoldsAreRemoved()
{
    QTemporaryDir temp;
    const QDir base(temp.path());
    const auto live = std::make_unique<ProfileFolder>(temp.path());
    QVERIFY(live->isValid());
    const QString freeLock = folder(base, QStringLiteral("textorin-aBc123"), true, 0);
    const QString oldUnlocked = folder(base, QStringLiteral("textorin-dEf456"), false, 2 * 3600);
    const QString youngUnlocked = folder(base, QStringLiteral("textorin-gHi789"), false, 60);
    const QString otherName = folder(base, QStringLiteral("textorin-queue-x1"), false, 2 * 3600);
    QVERIFY(!freeLock.isEmpty() && !oldUnlocked.isEmpty() && !youngUnlocked.isEmpty() && !otherName.isEmpty());
    QVERIFY(QFile::link(oldUnlocked, base.filePath(QStringLiteral("textorin-jKl012"))));

    QCOMPARE(AbandonedProfiles::removeUnder(temp.path()), 2);
    QVERIFY(!QFileInfo::exists(freeLock));
    QVERIFY(!QFileInfo::exists(oldUnlocked));
    for (const QString &kept : {live->path(), youngUnlocked, otherName})
        QVERIFY2(QFileInfo::exists(kept), qPrintable(kept));
}

QTEST_GUILESS_MAIN(TestAbandonedProfiles)
#include "tst_AbandonedProfiles.moc"
