#include "platform/Application.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication qtApplication(argc, argv);
    Application::configureApplication();
    Application application;
    application.start();
    return qtApplication.exec();
}
