#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

// A row's bytes as text: UTF-8 that keeps a byte-order mark as a character of the row.
QString DecodeListRow(QByteArrayView bytes);

// Splits a list file into rows. A line ends at a carriage return, a carriage
// return plus line feed, or a lone line feed; every piece becomes one row,
// empty ones included. Bytes are taken as UTF-8.
QStringList SplitListLines(const QByteArray &bytes);

// The same split, row by row. `beforeLine` runs before every line read and
// before every line-feed split; `row` receives each row in order.
void SplitListLines(const QByteArray &bytes, const std::function<void()> &beforeLine,
                    const std::function<void(const QString &row)> &row);
