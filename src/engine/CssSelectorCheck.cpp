#include "engine/CssSelectorCheck.h"

#include <QList>

namespace {

bool isCssSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control && !isCssSpace(c);
}

// What may follow # or . : a name's character or an escape.
bool startsName(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u'\\' || c.unicode() >= 0x80;
}

bool isCombinator(QChar c)
{
    return c == u'>' || c == u'+' || c == u'~';
}

// What came last in a selector list, outside brackets and parentheses.
enum class Last { Start, Combinator, Comma, Compound };

} // namespace

QString CssSelectorCheck::problem(const QString &selector)
{
    if (selector.trimmed().isEmpty())
        return QStringLiteral("the selector is empty");
    for (const QChar c : selector) {
        if (isControl(c))
            return QStringLiteral("a control character");
    }

    QList<QChar> open; // the brackets and parentheses not yet closed
    qsizetype attributeStart = -1;
    Last last = Last::Start;
    for (qsizetype i = 0; i < selector.size(); ++i) {
        const QChar c = selector.at(i);
        const bool topLevel = open.isEmpty();
        if (c == u'\\') {
            if (++i == selector.size())
                return QStringLiteral("a backslash at the end");
            last = topLevel ? Last::Compound : last;
        } else if (c == u'"' || c == u'\'') {
            for (++i; i < selector.size() && selector.at(i) != c; ++i) {
                if (selector.at(i) == u'\\')
                    ++i;
            }
            if (i >= selector.size())
                return QStringLiteral("an unclosed quote");
        } else if (c == u'[' || c == u'(') {
            if (c == u'[')
                attributeStart = i;
            open.append(c);
        } else if (c == u']' || c == u')') {
            if (open.isEmpty() || open.takeLast() != (c == u']' ? u'[' : u'('))
                return QStringLiteral("unbalanced brackets");
            if (c == u']' && selector.mid(attributeStart + 1, i - attributeStart - 1).trimmed().isEmpty())
                return QStringLiteral("an empty attribute selector");
            if (open.isEmpty())
                last = Last::Compound;
        } else if (open.contains(u'[')) {
            // An attribute's name, operator and value: not a selector.
        } else if ((c == u'#' || c == u'.') && (i + 1 == selector.size() || !startsName(selector.at(i + 1)))) {
            return QStringLiteral("a lone %1").arg(c);
        } else if (!topLevel || isCssSpace(c)) {
            // Arguments are left to the browser; spaces are descendant combinators.
        } else if (isCombinator(c) || c == u',') {
            if (last != Last::Compound)
                return QStringLiteral("a dangling combinator or comma");
            last = c == u',' ? Last::Comma : Last::Combinator;
        } else {
            last = Last::Compound;
        }
    }
    if (!open.isEmpty())
        return QStringLiteral("unbalanced brackets");
    if (last != Last::Compound)
        return QStringLiteral("a dangling combinator or comma");
    return {};
}
