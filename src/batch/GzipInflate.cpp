#include "batch/GzipInflate.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>

bool GzipInflate::inflate(const QByteArray &data, qint64 limit, int timeMs, QByteArray *out, QString *error)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("gzip"));
    if (program.isEmpty()) {
        *error = QStringLiteral("gzip is not installed");
        return false;
    }
    QProcess gzip;
    gzip.setProcessChannelMode(QProcess::SeparateChannels);
    gzip.start(program, {QStringLiteral("-dc")});
    if (!gzip.waitForStarted(timeMs)) {
        *error = QStringLiteral("gzip could not start (%1)").arg(gzip.errorString());
        return false;
    }
    gzip.write(data);
    gzip.closeWriteChannel();
    out->clear();
    const QDeadlineTimer deadline(timeMs);
    while (!deadline.hasExpired()) {
        const bool more = gzip.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        *out += gzip.readAllStandardOutput();
        if (out->size() > limit) {
            gzip.kill();
            gzip.waitForFinished();
            *error = QStringLiteral("it inflates to more than %1 MiB").arg(limit >> 20);
            return false;
        }
        if (!more && gzip.state() == QProcess::NotRunning)
            break;
    }
    if (gzip.state() != QProcess::NotRunning) {
        gzip.kill();
        gzip.waitForFinished();
        *error = QStringLiteral("gzip took longer than %1 s").arg(timeMs / 1000);
        return false;
    }
    *out += gzip.readAllStandardOutput();
    // Exit status 2 is a warning (such as bytes after the data).
    if (gzip.exitStatus() != QProcess::NormalExit || gzip.exitCode() == 1 || out->size() > limit) {
        *error = out->size() > limit ? QStringLiteral("it inflates to more than %1 MiB").arg(limit >> 20)
                                     : QStringLiteral("it is no valid gzip data");
        return false;
    }
    return true;
}
