#include "support/ApplicationError.h"

#include "support/IMessageBoxes.h"

QString SupportEmailAddress()
{
    return QStringLiteral(TEXTORIN_SUPPORT_EMAIL);
}

QString ComposeApplicationErrorMessage(const QString &description, const QString &qualifiedName, int line)
{
    return description + QStringLiteral("\r\n") + qualifiedName + QStringLiteral("at line ") + QString::number(line)
        + QStringLiteral("\r\r") + QStringLiteral("Please email screenshot of this message to ")
        + SupportEmailAddress();
}

void ShowApplicationError(IMessageBoxes &boxes, const QString &description, const QString &qualifiedName, int line)
{
    boxes.warning(ApplicationErrorCaption, ComposeApplicationErrorMessage(description, qualifiedName, line));
}

QString WithLineFeeds(const QString &text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines;
}
