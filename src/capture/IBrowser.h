#pragma once

#include <QString>

// The hidden browser that loads each page of a capture run.
class IBrowser
{
public:
    virtual ~IBrowser() = default;

    static constexpr int ReadyStateComplete = 4;

    // Starts loading the address; from here on the ready state is that of the new page.
    virtual void Navigate(const QString &url) = 0;
    virtual int ReadyState() const = 0;
    // The rendered text of the loaded document's body. Raises a RuntimeError
    // when the navigation failed or the document has no body.
    virtual QString DocumentBodyInnerText() = 0;
};
