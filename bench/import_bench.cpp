// Imports generated lists of 100,000 lines into the real window, headless, once
// for each kind of line end (CR LF, LF, CR), and reports side by side the time
// the split alone takes, the time of the whole import and how responsive the
// window stayed (the longest gap between two ticks of a 10 ms timer).

#include "app/Form1.h"
#include "fakes/FakeOpenFileDialog.h"
#include "fakes/StandInServices.h"
#include "platform/MainWindow.h"
#include "platform/QtMessageBoxes.h"
#include "support/QtEventPump.h"
#include "urllist/SplitListLines.h"
#include "urllist/UrlListModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

struct Figures {
    qint64 splitMs = 0;
    qint64 importMs = 0;
    int rows = 0;
    int ticks = 0;
    qint64 longestGapMs = 0;
};

QByteArray makeList(int lines, const QByteArray &lineEnd)
{
    QByteArray bytes;
    for (int i = 0; i < lines; ++i)
        bytes += "http://host.example/section/page-" + QByteArray::number(i) + ".html" + lineEnd;
    return bytes;
}

Figures importList(const QString &path, const QByteArray &bytes)
{
    Figures figures;
    QElapsedTimer timer;
    timer.start();
    figures.rows = int(SplitListLines(bytes).size());
    figures.splitMs = timer.elapsed();

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return {};
    file.close();

    UrlListModel list;
    QtMessageBoxes boxes;
    QtEventPump pump;
    FakeOpenFileDialog dialog;
    dialog.answer = path;
    StandInServices standIns;
    const FormServices services{
        boxes, pump, standIns.settings, {&standIns.page}, standIns.skin, standIns.folderBrowser, dialog, {}, {},
        {},    {}};
    MainWindow window(list);
    Form1 logic(window, list, services);
    window.setLogic(&logic);
    list.addColumnHeader(QStringLiteral(" Web Site(s)"));
    window.show();

    QElapsedTimer sinceTick;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (figures.ticks++ > 0)
            figures.longestGapMs = qMax(figures.longestGapMs, sinceTick.elapsed());
        sinceTick.restart();
    });
    ticker.start(10);

    timer.restart();
    sinceTick.start();
    logic.PushButton6_Click();
    figures.importMs = timer.elapsed();
    if (list.count() != figures.rows)
        figures.rows = -1;
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int lines = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    const struct {
        const char *name;
        QByteArray end;
    } kinds[] = {{"CR LF", "\r\n"}, {"LF", "\n"}, {"CR", "\r"}};

    bool complete = true;
    std::printf("%-6s %8s %9s %10s %10s %6s %12s\n", "ends", "rows", "split ms", "import s", "lines/s", "ticks",
                "longest gap");
    for (const auto &kind : kinds) {
        const Figures figures = importList(path, makeList(lines, kind.end));
        // LF-only lists end in an empty row after the last line feed.
        const int expected = lines + (kind.end == "\n" ? 1 : 0);
        complete = complete && figures.rows == expected;
        std::printf("%-6s %8d %9lld %10.2f %10.0f %6d %9lld ms\n", kind.name, figures.rows,
                    static_cast<long long>(figures.splitMs), figures.importMs / 1000.0,
                    lines / (qMax<qint64>(figures.importMs, 1) / 1000.0), figures.ticks,
                    static_cast<long long>(figures.longestGapMs));
    }
    return complete ? 0 : 1;
}
