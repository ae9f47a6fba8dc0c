#include "batch/ProgressLine.h"

#include "batch/TerminalText.h"

#include <QList>
#include <QTextStream>

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cwchar>

namespace {

constexpr int RedrawMs = 250;
constexpr int FallbackColumns = 100;
constexpr int LeastAddressColumns = 8;
const QString Erase = QStringLiteral("\r\033[K");
const QString Separator = QStringLiteral(" | ");

// Columns a character takes on the terminal; one when the locale does not know.
int columnsOf(char32_t character)
{
    const int width = ::wcwidth(wchar_t(character));
    return width < 0 ? 1 : width;
}

// The text within `columns`, control characters shown as U+FFFD. Text too wide
// loses its middle (or, when `keepEnd` is false, its end) to "…".
QString fitted(const QString &text, int columns, bool keepEnd)
{
    QList<char32_t> characters;
    characters.reserve(text.size());
    int width = 0;
    for (char32_t character : text.toUcs4()) {
        if (QChar::category(character) == QChar::Other_Control)
            character = QChar::ReplacementCharacter;
        characters.append(character);
        width += columnsOf(character);
    }
    if (width <= columns)
        return QString::fromUcs4(characters.constData(), characters.size());
    if (columns < 1)
        return {};
    const int room = columns - 1;
    const int tailRoom = keepEnd ? room / 2 : 0;
    qsizetype head = 0;
    for (int used = 0; used + columnsOf(characters.at(head)) <= room - tailRoom;)
        used += columnsOf(characters.at(head++));
    qsizetype tail = characters.size();
    for (int used = 0; used + columnsOf(characters.at(tail - 1)) <= tailRoom;)
        used += columnsOf(characters.at(--tail));
    return QString::fromUcs4(characters.constData(), head) + QStringLiteral("…")
        + QString::fromUcs4(characters.constData() + tail, characters.size() - tail);
}

QString clock(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    const auto twoDigits = [](qint64 value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); };
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(QString::number(seconds / 3600), twoDigits(seconds / 60 % 60), twoDigits(seconds % 60));
    return QStringLiteral("%1:%2").arg(QString::number(seconds / 60), twoDigits(seconds % 60));
}

int terminalColumns()
{
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return FallbackColumns;
}

bool standardOutputSharesTerminal()
{
    struct stat out {};
    struct stat err {};
    return ::isatty(STDOUT_FILENO) && ::fstat(STDOUT_FILENO, &out) == 0 && ::fstat(STDERR_FILENO, &err) == 0
        && out.st_rdev == err.st_rdev;
}

} // namespace

ProgressLine::ProgressLine(QTextStream &err) : m_err(err), m_sharesOut(standardOutputSharesTerminal())
{
    m_timer.setInterval(RedrawMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { draw(); });
}

QString ProgressLine::text(const State &state, qint64 elapsedMs, int columns)
{
    // Not "[4/8]": a row's line begins with its own number in that form.
    const QString done = state.total < 0 ? QStringLiteral("%1 done").arg(state.done)
                                         : QStringLiteral("%1 of %2 done").arg(state.done).arg(state.total);
    QString line = QStringLiteral("%1: saved %2, failed %3").arg(done).arg(state.saved).arg(state.failed);
    if (state.done > 0 && elapsedMs > 0) {
        const double perMinute = double(state.done) * 60'000 / double(elapsedMs);
        line += Separator + QStringLiteral("%1 pages/min").arg(perMinute, 0, 'f', perMinute < 10 ? 1 : 0);
    }
    line += Separator + clock(elapsedMs) + QStringLiteral(" elapsed");
    if (state.total >= 0 && state.done > 0) {
        // The pace so far, rounded up to whole seconds; no more than 100,000 hours.
        const double leftMs =
            double(elapsedMs) * double(qMax<qint64>(state.total - state.done, 0)) / double(state.done);
        line += QStringLiteral(", ETA ") + clock(qint64(std::min(leftMs, 3.6e11)) + 999);
    }
    if (!state.reading.isEmpty()) {
        // Its end holds the counts.
        const int readingRoom = columns - 1 - int(line.size()) - int(Separator.size());
        line += Separator + fitted(TerminalText::escaped(state.reading), qMax(readingRoom, LeastAddressColumns), true);
    }
    const int room = columns - 1 - int(line.size()) - int(Separator.size());
    if (!state.loading.isEmpty() && room >= LeastAddressColumns) {
        // All the addresses when they fit, else the first and how many more.
        QStringList loading;
        for (const QString &row : state.loading)
            loading << TerminalText::address(row);
        const QString all = loading.join(QStringLiteral(", "));
        const QString more = loading.size() > 1 ? QStringLiteral(" +%1").arg(loading.size() - 1) : QString();
        line += Separator
            + (fitted(all, room, false) == all ? all : fitted(loading.first(), room - int(more.size()), true) + more);
    }
    return fitted(line, columns - 1, false);
}

void ProgressLine::update(const State &state)
{
    m_state = state;
    if (!m_clock.isValid()) {
        m_clock.start();
        m_timer.start();
    }
    if (!m_shown || m_sinceDraw.elapsed() >= RedrawMs)
        draw();
}

void ProgressLine::hide()
{
    if (!m_shown)
        return;
    m_err << Erase;
    m_err.flush();
    m_shown = false;
}

void ProgressLine::hideForOut()
{
    if (m_sharesOut)
        hide();
}

void ProgressLine::finish()
{
    m_timer.stop();
    hide();
}

void ProgressLine::draw()
{
    if (m_loadingSource)
        m_state.loading = m_loadingSource();
    m_err << Erase << text(m_state, m_clock.elapsed(), terminalColumns());
    m_err.flush();
    m_shown = true;
    m_sinceDraw.start();
}
