// Presses start in the real window (headless) on one slow address and reports the
// CPU share of this process from 1 s to 7 s after the press, while the window
// waits for the page. Usage: window_wait_bench URL

#include "platform/Application.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s URL\n", argv[0]);
        return 2;
    }
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    // The settings written by the folder box go to the temporary folder, not the user's.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApplication(argc, argv);
    Application::configureApplication();
    Application app;
    app.window().show();
    static_cast<IFormView &>(app.window()).setFolderText(dir.path());
    app.list().append(QString::fromLocal8Bit(argv[1]));

    // Both timers fire inside the run's own event processing.
    QElapsedTimer sincePress;
    double cpuAtStart = 0;
    qint64 msAtStart = 0;
    QTimer::singleShot(1000, [&] {
        cpuAtStart = cpuSeconds();
        msAtStart = sincePress.elapsed();
    });
    QTimer::singleShot(7000, [&] {
        const double cpu = cpuSeconds() - cpuAtStart;
        const double wall = (sincePress.elapsed() - msAtStart) / 1000.0;
        std::printf("window CPU during an 8 s page: %.2f %% of one core\n", cpu / wall * 100.0);
        app.browser().shutdown();
        dir.remove();
        std::fflush(nullptr);
        std::_Exit(0);
    });
    QTimer::singleShot(0, [&] {
        sincePress.start();
        app.logic().PushButton2_Click();
    });
    return qtApplication.exec();
}
