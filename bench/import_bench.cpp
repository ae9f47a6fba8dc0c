// Imports a generated list of 100,000 lines into the real window, headless,
// and reports the time taken and how responsive the window stayed (the longest
// gap between two ticks of a 10 ms timer during the import).

#include "app/Form1.h"
#include "fakes/StandInServices.h"
#include "fakes/FakeOpenFileDialog.h"
#include "platform/MainWindow.h"
#include "platform/QtMessageBoxes.h"
#include "support/QtEventPump.h"
#include "urllist/UrlListModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int lines = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        for (int i = 0; i < lines; ++i)
            file.write("http://host.example/section/page-" + QByteArray::number(i) + ".html\r\n");
    }

    UrlListModel list;
    QtMessageBoxes boxes;
    QtEventPump pump;
    FakeOpenFileDialog dialog;
    dialog.answer = path;
    StandInServices standIns;
    const FormServices services{boxes, pump, standIns.settings, standIns.browser, standIns.skin,
                                standIns.folderBrowser, dialog, {}, {}, {}};
    MainWindow window(list);
    Form1 logic(window, list, services);
    window.setLogic(&logic);
    list.addColumnHeader(QStringLiteral(" Web Site(s)"));
    window.show();

    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (ticks++ > 0)
            longestGap = qMax(longestGap, sinceTick.elapsed());
        sinceTick.restart();
    });
    ticker.start(10);

    QElapsedTimer timer;
    timer.start();
    sinceTick.start();
    logic.PushButton6_Click();
    const qint64 elapsed = timer.elapsed();

    std::printf("imported %d of %d lines in %.2f s (%.0f lines/s)\n", list.count(), lines,
                elapsed / 1000.0, lines / (elapsed / 1000.0));
    std::printf("window responsiveness: %d timer ticks served, longest gap %lld ms\n", ticks,
                static_cast<long long>(longestGap));
    return list.count() == lines ? 0 : 1;
}
