// Writes textorin-batch's manual page: its source with the entries of OPTIONS
// and EXIT STATUS put in from the option table, as --help lists them.
#include "batch/BatchCommandLine.h"
#include "batch/BatchHelp.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

namespace {

// The lines that stand for the generated entries in the page's source.
const QByteArray OptionsMark = ".\\\" generated: options\n";
const QByteArray ExitStatusMark = ".\\\" generated: exit statuses\n";

int fail(const QString &problem)
{
    std::fprintf(stderr, "textorin-batch-manual: %s\n", qPrintable(problem));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 3)
        return fail(QStringLiteral("usage: textorin-batch-manual SOURCE PAGE"));
    QFile source(arguments.at(1));
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(source.fileName(), source.errorString()));
    QByteArray page = source.readAll();
    for (const QByteArray &mark : {OptionsMark, ExitStatusMark}) {
        if (page.count(mark) != 1)
            return fail(
                QStringLiteral("%1 wants one line %2").arg(source.fileName(), QString::fromUtf8(mark.trimmed())));
    }
    page.replace(OptionsMark, BatchHelp::manualOptions(BatchCommandLine::options()).toUtf8());
    page.replace(ExitStatusMark, BatchHelp::manualExitStatuses().toUtf8());
    QSaveFile output(arguments.at(2));
    if (!output.open(QIODevice::WriteOnly) || output.write(page) != page.size() || !output.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(output.fileName(), output.errorString()));
    return 0;
}
