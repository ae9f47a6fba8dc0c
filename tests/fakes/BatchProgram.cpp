#include "fakes/BatchProgram.h"

#include "fakes/TestFiles.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

bool BatchProgram::isUsageError(const Result &result, const QString &problem)
{
    const QStringList lines = result.err.split(QLatin1Char('\n'));
    return result.exitCode == 2 && lines.size() == 3 && lines.at(0).startsWith(QStringLiteral("textorin-batch: "))
        && lines.at(0).contains(problem) && lines.at(1) == QStringLiteral("Try 'textorin-batch --help'.")
        && lines.at(2).isEmpty();
}

bool BatchProgram::start()
{
    if (!m_server.listen())
        return false;
    m_server.page("/one", "<html><body><p>one</p></body></html>");
    m_server.page("/two", "<html><body><p>two ✓</p></body></html>");
    m_server.page("/width",
                  "<html><body><script>document.write(innerWidth + 'x' + innerHeight)"
                  "</script></body></html>");
    LocalHttpServer::Reply silent;
    silent.silent = true;
    m_server.route("/silent", silent);
    m_server.route("/never", silent);
    m_server.page("/image", "<html><body><p>image page</p><img src=/silent></body></html>");
    return true;
}

BatchProgram::Result BatchProgram::run(const QStringList &arguments, const QByteArray &input,
                                       const QProcessEnvironment &extra, const QList<int> &closed)
{
    QProcess process;
    process.setChildProcessModifier([closed] {
        for (int descriptor : closed)
            ::close(descriptor);
    });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extra);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    environment.insert(QStringLiteral("HOME"), m_config.path());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_current.path());
    process.start(QStringLiteral(TEXTORIN_BATCH_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    // The pages are served by this process, so keep its event loop going.
    QElapsedTimer timer;
    timer.start();
    while (process.state() != QProcess::NotRunning && timer.elapsed() < m_runLimitMs)
        QTest::qWait(20);
    Result result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString BatchProgram::writeList(const QByteArray &bytes)
{
    const QString path = m_files.filePath(QStringLiteral("list%1.txt").arg(++m_lists));
    writeTestFile(path, bytes);
    return path;
}
