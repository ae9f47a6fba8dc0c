#pragma once

#include "fakes/LocalHttpServer.h"

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The built textorin-batch as its front-end tests run it: against a page server
// on 127.0.0.1, in a working folder and a configuration home of its own.
class BatchProgram
{
public:
    struct Result {
        int exitCode = -1;
        QString out;
        QString err;
    };

    // Exit status 2, one line naming the problem, then where help is.
    static bool isUsageError(const Result &result, const QString &problem);

    // Starts the server with the pages most tests load: /one, /two, /width (the
    // window's size), /image (its image never comes), /silent and /never.
    bool start();
    LocalHttpServer &server() { return m_server; }

    // Runs the program to its end, at most the run limit (a minute unless set),
    // serving the pages meanwhile; `closed` are the standard descriptors it starts without.
    Result run(const QStringList &arguments, const QByteArray &input = {}, const QProcessEnvironment &extra = {},
               const QList<int> &closed = {});
    void setRunLimit(int milliseconds) { m_runLimitMs = milliseconds; }
    // A new list file with the bytes.
    QString writeList(const QByteArray &bytes);
    // A file of the test's own, beside the lists.
    QString filePath(const QString &name) const { return m_files.filePath(name); }
    // $XDG_CONFIG_HOME (and $HOME) of the runs.
    QString configPath() const { return m_config.path(); }
    // The working folder of the runs.
    QString currentPath() const { return m_current.path(); }

private:
    LocalHttpServer m_server;
    QTemporaryDir m_files;
    QTemporaryDir m_config;
    QTemporaryDir m_current;
    int m_lists = 0;
    int m_runLimitMs = 60000;
};
