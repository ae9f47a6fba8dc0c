#include "platform/Application.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

const char Usage[] = "Usage: textorin [QT-OPTION]...\n"
                     "\n"
                     "Opens the Textorin window, which saves the text of every listed web page in\n"
                     "a file named after its address. Standard Qt options such as -platform NAME\n"
                     "are accepted. For scripts and long lists, see textorin-batch --help.\n"
                     "\n"
                     "  --version     prints the version.\n"
                     "  -h, --help    shows this text.\n"
                     "\n"
                     "Settings: ~/.config/Tavrine/Tavrine.ini. TEXTORIN_NO_ONLINE_CHECK=1 skips the\n"
                     "start-up ping. The manual: man textorin.\n";

} // namespace

int main(int argc, char *argv[])
{
    // Answered before any window exists; the window reads no other argument.
    for (int index = 1; index < argc; ++index) {
        if (std::strcmp(argv[index], "--version") == 0) {
            std::puts("textorin " TEXTORIN_VERSION);
            return 0;
        }
        if (std::strcmp(argv[index], "--help") == 0 || std::strcmp(argv[index], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
    }
    QApplication qtApplication(argc, argv);
    Application::configureApplication();
    Application application({}, SingleInstance::nameForUser());
    // A second start shows the first window and ends.
    if (!application.start())
        return 0;
    return qtApplication.exec();
}
