#pragma once

#include "batch/BatchOptions.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

// textorin-batch's command line: one table of its options, each with its help
// and the way its value is checked and stored, which both parsing and --help read.
class BatchCommandLine
{
public:
    // What the command line asks for besides a run.
    enum class Request { Run, Help, Version };

    struct Option {
        QStringList names; // a single letter is the short name, the last one the long name
        QString valueName; // empty for a switch
        QString description; // one paragraph, wrapped by help()
        // A closed set of values, each with its help, listed under the option.
        QList<std::pair<QString, QString>> values;
        // Checks one value (a switch has none) and stores it; the problem
        // ("wants …"), or an empty string.
        using Store = std::function<QString(const QString &value, BatchOptions &options)>;
        Store store;
        Request request = Request::Run;
    };

    struct Parsed {
        Request request = Request::Run;
        BatchOptions options;
        QString error; // a usage error, on one line: nothing runs
    };

    static const QList<Option> &options();
    // The arguments as QCoreApplication::arguments() gives them, the program first.
    // The options of `configFile` (when it exists), or of --config FILE, come
    // before them; --no-config reads none.
    static Parsed parse(const QStringList &arguments, const QString &configFile = {});
    static QString help(const QString &program);
    // A usage error as every one is printed: the problem, then where help is.
    static QString usageError(const QString &program, const QString &error);
};
