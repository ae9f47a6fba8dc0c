#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

// A message box with details that the user opens with "Show Details..." and
// may enlarge: the box and its details area resize with a size grip.
class SummaryBox : public QDialog
{
    Q_OBJECT

public:
    SummaryBox(const QString &caption, const QString &text, const QString &informative, const QString &details,
               QWidget *owner = nullptr);

    QPlainTextEdit *detailsArea() const { return m_details; }
    QPushButton *detailsButton() const { return m_toggle; }

private:
    void toggleDetails();

    QPlainTextEdit *m_details = nullptr;
    QPushButton *m_toggle = nullptr;
};
