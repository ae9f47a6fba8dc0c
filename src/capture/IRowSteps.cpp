#include "capture/IRowSteps.h"

#include "capture/OutputFile.h"
#include "support/RuntimeError.h"

bool IRowSteps::runStep(Step, const QueuedRow &, const std::function<void()> &statement,
                        QString *failure)
{
    try {
        statement();
        return true;
    } catch (const RuntimeError &error) {
        *failure = error.description();
    } catch (const std::exception &error) {
        *failure = QString::fromLocal8Bit(error.what());
    }
    return false;
}

bool IRowSteps::write(const QueuedRow &, const QString &path, const QString &content,
                      QString *failure)
{
    try {
        OutputFileWriter writer;
        writer.open(path);
        writer.write(content);
        writer.close();
        return true;
    } catch (const RuntimeError &error) {
        *failure = error.description();
    }
    return false;
}
