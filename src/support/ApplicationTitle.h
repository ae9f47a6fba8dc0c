#pragma once

#include <QString>

// The application title: the caption of every box that gives none of its own.
class ApplicationTitle
{
public:
    static QString productDisplayName();
    static QString current();
    static void set(const QString &title);
    // The display name without its last word(s), at most 40 characters.
    static QString derive(const QString &displayName);
    static void reset();
};
