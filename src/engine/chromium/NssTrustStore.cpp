#include "engine/chromium/NssTrustStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

namespace {

constexpr int CertutilMs = 15'000;

// Runs certutil on the database with `input` on its standard input; false with its complaint.
bool certutil(const QString &program, const QStringList &arguments, const QByteArray &input, QString *error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(CertutilMs)) {
        *error = process.errorString();
        return false;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(CertutilMs)) {
        process.kill();
        process.waitForFinished();
        *error = QStringLiteral("certutil did not finish");
        return false;
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    *error = QString::fromLocal8Bit(process.readAll()).simplified();
    if (error->isEmpty())
        *error = QStringLiteral("certutil failed");
    return false;
}

} // namespace

namespace NssTrustStore {

bool create(const QString &home, const QString &pemFile, QString *error)
{
    QFile file(pemFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    const QString pem = QString::fromLatin1(file.readAll());
    static const QRegularExpression block(QStringLiteral("-----BEGIN CERTIFICATE-----[^-]+-----END CERTIFICATE-----"));
    QStringList certificates;
    for (const QRegularExpressionMatch &match : block.globalMatch(pem))
        certificates.append(match.captured());
    if (certificates.isEmpty()) {
        *error = QStringLiteral("it holds no PEM certificate");
        return false;
    }
    const QString program = QStandardPaths::findExecutable(QStringLiteral("certutil"));
    if (program.isEmpty()) {
        *error = QStringLiteral("certutil is missing: install the Debian package \"libnss3-tools\"");
        return false;
    }
    const QString folder = home + QStringLiteral("/.pki/nssdb");
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("no folder %1").arg(folder);
        return false;
    }
    const QString database = QStringLiteral("sql:") + folder;
    if (!certutil(program, {QStringLiteral("-N"), QStringLiteral("-d"), database, QStringLiteral("--empty-password")},
                  {}, error))
        return false;
    for (qsizetype i = 0; i < certificates.size(); ++i) {
        if (!certutil(program,
                      {QStringLiteral("-A"), QStringLiteral("-d"), database, QStringLiteral("-a"), QStringLiteral("-t"),
                       QStringLiteral("C,,"), QStringLiteral("-n"), QStringLiteral("textorin-ca-%1").arg(i + 1)},
                      certificates.at(i).toLatin1() + '\n', error))
            return false;
    }
    return true;
}

} // namespace NssTrustStore
