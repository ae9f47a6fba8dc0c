#pragma once

#include "engine/EngineOptions.h"

#include <QString>

#include <optional>

// The run's options as people write them, on the command line and in the
// settings file (what to save, how often to try, how long to wait for a host,
// how many pages at once), and the checks of numbers and files the option
// readers share. Each reader checks one value and stores it, or returns what
// was wanted ("wants …") and leaves the value as it was.
class RunOptionText
{
public:
    // A format's name or alias ("text", "md", …): stores its name and asks the page for its form.
    static QString readFormat(const QString &text, QString &format, EngineOptions &options);
    // Loads of a row whose failure may pass, 1 to 100.
    static QString readTries(const QString &text, int &tries);
    // Seconds between two loads of one host, as milliseconds.
    static QString readHostWait(const QString &text, int &milliseconds);
    // Pages loaded at once, 1 to 32.
    static QString readPagesAtOnce(const QString &text, int &pages);

    // The value as a problem shows it: on one line.
    static QString shown(const QString &value);
    // "wants WANTED, not "VALUE""
    static QString refusal(const QString &wanted, const QString &value);
    // Seconds from `least` to a day, as milliseconds.
    static std::optional<int> milliseconds(const QString &text, double least);
    // A whole number from `least` to `most`.
    static std::optional<int> count(const QString &text, int most, int least = 1);
    // Whether the name is of a file there to be read.
    static bool isReadableFile(const QString &name);
    // The names of the output formats: "a, b or c".
    static QString formatNames();

    static constexpr int MostPagesAtOnce = 32;
};
