#include "support/ApplicationTitle.h"

namespace {

constexpr int MaxTitleLength = 40;
constexpr int BuiltInTitleLength = 39;

QString &titleStore()
{
    static QString title = ApplicationTitle::productDisplayName().left(BuiltInTitleLength);
    return title;
}

} // namespace

QString ApplicationTitle::productDisplayName()
{
    return QStringLiteral("Textorin");
}

QString ApplicationTitle::current()
{
    return titleStore();
}

void ApplicationTitle::set(const QString &title)
{
    titleStore() = title;
}

QString ApplicationTitle::derive(const QString &displayName)
{
    QString title = displayName;
    do {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break; // no blank to cut at: the whole name stays
        title.truncate(blank);
    } while (title.size() > MaxTitleLength);
    return title;
}

void ApplicationTitle::reset()
{
    titleStore() = productDisplayName().left(BuiltInTitleLength);
}
