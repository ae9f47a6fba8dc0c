#include "process/ChildProcesses.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

#include <csignal>

class TestChildProcesses : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void descendantsAreReadFromTheirTreeAlone();
};

void TestChildProcesses::descendantsAreReadFromTheirTreeAlone()
{
    if (!QFileInfo::exists(QStringLiteral("/proc/thread-self/children")))
        QSKIP("the kernel keeps no lists of children");
    QProcess shell;
    shell.setProgram(QStringLiteral("sh"));
    shell.setArguments({QStringLiteral("-c"), QStringLiteral("sleep 60 & (sleep 60 & wait) & wait")});
    shell.setChildProcessModifier([] { ::setpgid(0, 0); });
    shell.start();
    QVERIFY(shell.waitForStarted());
    const int pid = int(shell.processId());
    QList<int> found;
    const QDeadlineTimer deadline(10'000);
    while ((found = ChildProcesses::descendants(pid)).size() < 3 && !deadline.hasExpired())
        QTest::qWait(20);
    const quint64 reads = ChildProcesses::procReads();
    found = ChildProcesses::descendants(pid);
    const quint64 readsOfTree = ChildProcesses::procReads() - reads;
    QList<int> groups;
    for (int child : std::as_const(found))
        groups << ChildProcesses::stat(child).value_or(ChildProcesses::Stat()).group;
    ::kill(-pid, SIGKILL);
    shell.waitForFinished();

    // The shell's two children and the grandchild, each process of the tree
    // looked at once (its threads' lists), however many the system runs.
    QCOMPARE(groups, QList<int>(3, pid));
    QVERIFY2(readsOfTree <= 8, qPrintable(QString::number(readsOfTree)));
}

QTEST_GUILESS_MAIN(TestChildProcesses)
#include "tst_ChildProcesses.moc"
