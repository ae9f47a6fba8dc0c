#pragma once

#include <QString>

class IMessageBoxes;

// The "Application Error" report of every guarded operation.
QString SupportEmailAddress();
QString ComposeApplicationErrorMessage(const QString &description, const QString &qualifiedName, int line);
void ShowApplicationError(IMessageBoxes &boxes, const QString &description, const QString &qualifiedName, int line);

// The text with every carriage return, alone or before a line feed, as one line feed.
QString WithLineFeeds(const QString &text);

inline const QString ApplicationErrorCaption = QStringLiteral("Application Error");
