#pragma once

#include "app/FormServices.h"

#include <QString>

class IFormView;
class UrlListModel;

// The start-up sequence of the main window, run once before it is shown.
class StartUp
{
public:
    StartUp(IFormView &view, UrlListModel &list, const FormServices &services);

    // The start-up steps, in order.
    void run();
    // Applies the skin file beside the program, when there is one.
    void applySkin();
    static void setApplicationTitle();

    QString skinFilePath() const;
    QString pointerFilePath() const;
    // Whether the start-up pings the public host (the user may turn it off).
    bool onlineCheckWanted() const;

    static constexpr double ColumnWidthTwips = 7000.0;
    static QString columnHeaderText();

private:
    IFormView &m_view;
    UrlListModel &m_list;
    FormServices m_services;
};
