#include "platform/EngineEnvironment.h"

#include <QByteArray>
#include <QCoreApplication>

#include <unistd.h>

namespace {

const QByteArray QuietFlags = "--disable-background-networking --disable-component-update "
                              "--disable-sync --no-first-run --disable-breakpad "
                              "--disable-domain-reliability --no-pings";

} // namespace

bool EngineEnvironment::runningAsRoot()
{
    return geteuid() == 0;
}

void EngineEnvironment::prepare()
{
    if (runningAsRoot() && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--disable-background-networking"))
        flags = (flags + ' ' + QuietFlags).trimmed();
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && !flags.contains("--disable-gpu"))
        flags += " --disable-gpu";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false;qt.webenginecontext.debug=false");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}
