#pragma once

#include <QString>

class IMessageBoxes;

// The "Application Error" report of every guarded operation.
QString SupportEmailAddress();
QString ComposeApplicationErrorMessage(const QString &description, const QString &qualifiedName,
                                       int line);
void ShowApplicationError(IMessageBoxes &boxes, const QString &description,
                          const QString &qualifiedName, int line);

inline const QString ApplicationErrorCaption = QStringLiteral("Application Error");
