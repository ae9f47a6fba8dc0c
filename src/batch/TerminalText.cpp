#include "batch/TerminalText.h"

#include "engine/PageAddress.h"

namespace {

bool isControl(char16_t code)
{
    return code < 0x20 || (code >= 0x7f && code <= 0x9f);
}

bool needsEscapes(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t code = text.at(i).unicode();
        if (isControl(code))
            return true;
        if (code == u'\\' && i + 1 < text.size()) {
            const char16_t next = text.at(i + 1).unicode();
            if (next == u'\\' || next == u'x' || next == u'n' || next == u'r')
                return true;
        }
    }
    return false;
}

} // namespace

QString TerminalText::escaped(const QString &text)
{
    if (!needsEscapes(text))
        return text;
    QString result;
    result.reserve(text.size() + 16);
    for (const QChar character : text) {
        const char16_t code = character.unicode();
        if (code == u'\\')
            result += QStringLiteral("\\\\");
        else if (code == u'\r')
            result += QStringLiteral("\\r");
        else if (code == u'\n')
            result += QStringLiteral("\\n");
        else if (isControl(code))
            result += QStringLiteral("\\x%1").arg(int(code), 2, 16, QLatin1Char('0'));
        else
            result += character;
    }
    return result;
}

QString TerminalText::address(const QString &row)
{
    return escaped(PageAddress::withoutUserInfo(row));
}
