#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QProcess;

// A PDF's text by Debian's pdftotext (poppler-utils), run as a child process
// with limits on its time, memory and output, so that a hostile PDF costs only
// its row. The text is the tool's own: each page ends in a form feed.
class PdfText : public QObject
{
    Q_OBJECT

public:
    struct Limits {
        int timeMs = 60'000;
        // The row's own limit: the tool's time ends a margin before it, so that a
        // PDF it cannot finish fails the row with the tool's reason.
        QDeadlineTimer rowDeadline{QDeadlineTimer::Forever};
        qint64 memoryBytes = qint64(1) << 30; // its address space; 0: none
        qint64 textChars = 16 * 1024 * 1024;
    };

    explicit PdfText(const QString &program = QStringLiteral("/usr/bin/pdftotext"), QObject *parent = nullptr);
    ~PdfText() override;

    // Starts reading the PDF; it ends in done, failed or tooLarge unless stopped first.
    void start(const QByteArray &pdf, const Limits &limits);
    // Ends a reading still going on, without a signal.
    void stop();

Q_SIGNALS:
    void done(const QString &text);
    void failed(const QString &reason);
    void tooLarge();

private:
    void onOutput();
    void onFinished(int exitCode, bool crashed);
    void onTimeLimit();
    void end();
    QString toolMessage() const;

    const QString m_program;
    std::unique_ptr<QProcess> m_process;
    Limits m_limits;
    QByteArray m_text;
    QByteArray m_errors;
    QTimer m_timeLimit;
};
