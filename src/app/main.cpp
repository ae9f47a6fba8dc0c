#include "platform/Application.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Application::prepareProcess();
    QApplication qtApplication(argc, argv);
    Application::configureApplication();
    Application application;
    application.start();
    return qtApplication.exec();
}
