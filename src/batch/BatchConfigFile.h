#pragma once

#include <QList>
#include <QProcessEnvironment>
#include <QString>

// textorin-batch's configuration file: one option a line as on the command
// line ("--cookies /home/me/cookies.txt", "--format=markdown", "-j 8"), the
// value being the rest of the line (blanks inside it kept, a pair of quotes
// around it dropped, a leading "~/" the home folder); blank lines and lines
// whose first character that is not blank is '#' are skipped. It only splits
// the lines: which options there are is the command line's business.
class BatchConfigFile
{
public:
    struct Entry {
        int line = 0;
        QString name; // without its dashes
        QString value;
        bool hasValue = false;
    };

    // $XDG_CONFIG_HOME/textorin/batch.conf, else ~/.config/textorin/batch.conf.
    static QString defaultPath(const QProcessEnvironment &environment);

    // Reads the file's entries; false with a reason naming the file (and the
    // line) when it cannot be read, is no regular file or a line is no option.
    // A missing file is empty unless `required`.
    bool read(const QString &path, bool required, QString *error);
    const QList<Entry> &entries() const { return m_entries; }

    static constexpr qint64 MaxBytes = 1024 * 1024;

private:
    static QString valueOf(const QString &text, const QString &home);

    QList<Entry> m_entries;
};
