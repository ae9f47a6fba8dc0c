#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QTextStream;

// The one line a batch run keeps at the foot of a terminal: rows done, saved
// and failed, the pace, the time taken and left, a sitemap or feed being read
// and the addresses loading now.
// It is redrawn in place a few times a second, and erased before other output
// reaches the terminal.
class ProgressLine
{
public:
    struct State {
        qint64 done = 0;
        qint64 total = -1; // -1 while the rows are not counted
        qint64 saved = 0;
        qint64 failed = 0;
        QStringList loading;
        QString reading; // what rows are read from now ("reading sitemap URL …"), or empty
    };
    using LoadingSource = std::function<QStringList()>;

    // Draws on `err`, which writes to standard error, a terminal.
    explicit ProgressLine(QTextStream &err);

    // The line's text, at most `columns - 1` terminal columns wide; the
    // addresses without their user info and the controls escaped.
    static QString text(const State &state, qint64 elapsedMs, int columns);

    // Starts the clock and the redrawing.
    void start();
    // Takes the run's new state; drawn at once unless drawn a moment ago.
    void update(const State &state);
    // Asked for the addresses loading at each redraw, so that the line follows them.
    void setLoadingSource(LoadingSource source) { m_loadingSource = std::move(source); }
    // Erases the line before output to standard error.
    void hide();
    // Erases the line before output to standard output, when it is the same terminal.
    void hideForOut();
    // Erases the line for good.
    void finish();

private:
    void draw();

    QTextStream &m_err;
    bool m_sharesOut = false;
    State m_state;
    LoadingSource m_loadingSource;
    bool m_shown = false;
    QElapsedTimer m_clock;
    QElapsedTimer m_sinceDraw;
    QTimer m_timer;
};
