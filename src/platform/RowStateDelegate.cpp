#include "platform/RowStateDelegate.h"

#include "urllist/UrlListModel.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace {

using State = UrlListModel::RowState;

// The white mark of a state on a disc `s` wide.
QPainterPath stateMark(State state, qreal s)
{
    QPainterPath mark;
    switch (state) {
    case State::Saved:
        mark.moveTo(s * 0.28, s * 0.52);
        mark.lineTo(s * 0.44, s * 0.68);
        mark.lineTo(s * 0.72, s * 0.34);
        break;
    case State::Failed:
        mark.moveTo(s * 0.33, s * 0.33);
        mark.lineTo(s * 0.67, s * 0.67);
        mark.moveTo(s * 0.67, s * 0.33);
        mark.lineTo(s * 0.33, s * 0.67);
        break;
    case State::Skipped:
        mark.moveTo(s * 0.3, s * 0.5);
        mark.lineTo(s * 0.7, s * 0.5);
        break;
    case State::Stopped: mark.addRect(QRectF(s * 0.34, s * 0.34, s * 0.32, s * 0.32)); break;
    case State::NotInRun:
        mark.moveTo(s * 0.5, s * 0.3);
        mark.lineTo(s * 0.5, s * 0.7);
        mark.moveTo(s * 0.3, s * 0.5);
        mark.lineTo(s * 0.7, s * 0.5);
        break;
    case State::Loading:
        for (const qreal x : {0.3, 0.5, 0.7}) {
            mark.moveTo(s * x, s * 0.5);
            mark.lineTo(s * x + 0.01, s * 0.5);
        }
        break;
    case State::None: break;
    }
    return mark;
}

// A coloured disc with a white mark, drawn so that no icon theme is needed.
QPixmap disc(const QColor &colour, int size, const std::function<QPainterPath(qreal s)> &markOf)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(1, 1, s - 2, s - 2));
    painter.setPen(QPen(Qt::white, qMax<qreal>(1.5, s / 8), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(markOf(s));
    return pixmap;
}

QPixmap disc(const QColor &colour, State state, int size)
{
    return disc(colour, size, [state](qreal s) { return stateMark(state, s); });
}

// A saved row whose text changed since the last run (a triangle), or stayed the same (an equals sign).
QPixmap changeDisc(bool changed, int size)
{
    const QColor colour = changed ? QColor(0xd9, 0x7a, 0x00) : QColor(0x7f, 0xb8, 0x8a);
    return disc(colour, size, [changed](qreal s) {
        QPainterPath mark;
        if (changed) {
            mark.moveTo(s * 0.5, s * 0.3);
            mark.lineTo(s * 0.72, s * 0.68);
            mark.lineTo(s * 0.28, s * 0.68);
            mark.closeSubpath();
        } else {
            mark.moveTo(s * 0.3, s * 0.42);
            mark.lineTo(s * 0.7, s * 0.42);
            mark.moveTo(s * 0.3, s * 0.6);
            mark.lineTo(s * 0.7, s * 0.6);
        }
        return mark;
    });
}

} // namespace

QIcon RowStateDelegate::icon(int state, int size, const QString &change)
{
    if (State(state) == State::Saved && (change == QLatin1String("changed") || change == QLatin1String("same")))
        return QIcon(changeDisc(change == QLatin1String("changed"), size));
    return icon(state, size);
}

QIcon RowStateDelegate::icon(int state, int size)
{
    switch (State(state)) {
    case State::Loading: return QIcon(disc(QColor(0x1f, 0x6f, 0xc5), State::Loading, size));
    case State::Saved: return QIcon(disc(QColor(0x2e, 0x8b, 0x3e), State::Saved, size));
    case State::Failed: return QIcon(disc(QColor(0xc6, 0x28, 0x28), State::Failed, size));
    case State::Skipped: return QIcon(disc(QColor(0x80, 0x80, 0x80), State::Skipped, size));
    case State::Stopped: return QIcon(disc(QColor(0xb8, 0x86, 0x0b), State::Stopped, size));
    case State::NotInRun: return QIcon(disc(QColor(0xa8, 0xb8, 0xc8), State::NotInRun, size));
    case State::None: break;
    }
    return {};
}

void RowStateDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const int state = index.data(UrlListModel::RowStateRole).toInt();
    if (state == int(State::None))
        return;
    const int size = qMax(8, option->fontMetrics.height() - 2);
    option->icon = icon(state, size, index.data(UrlListModel::RowChangeRole).toString());
    option->decorationSize = QSize(size, size);
    option->features |= QStyleOptionViewItem::HasDecoration;
}
