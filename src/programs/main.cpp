#include "platform/Application.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    // Answered before any window exists; the window reads no other argument.
    for (int index = 1; index < argc; ++index) {
        if (std::strcmp(argv[index], "--version") == 0) {
            std::puts("textorin " TEXTORIN_VERSION);
            return 0;
        }
    }
    QApplication qtApplication(argc, argv);
    Application::configureApplication();
    Application application;
    application.start();
    return qtApplication.exec();
}
