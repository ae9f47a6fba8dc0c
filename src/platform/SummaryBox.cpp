#include "platform/SummaryBox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString ShowDetails = QStringLiteral("Show Details...");
const QString HideDetails = QStringLiteral("Hide Details...");

QLabel *label(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

SummaryBox::SummaryBox(const QString &caption, const QString &text, const QString &informative, const QString &details,
                       QWidget *owner)
    : QDialog(owner)
{
    setWindowTitle(caption);
    setSizeGripEnabled(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label(text, this));
    if (!informative.isEmpty())
        layout->addWidget(label(informative, this));
    m_details = new QPlainTextEdit(details, this);
    m_details->setReadOnly(true);
    m_details->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_details->setMinimumSize(420, 160);
    m_details->hide();
    layout->addWidget(m_details, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    m_toggle = buttons->addButton(ShowDetails, QDialogButtonBox::ActionRole);
    m_toggle->setAutoDefault(false);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(m_toggle, &QPushButton::clicked, this, &SummaryBox::toggleDetails);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setMinimumWidth(260);
}

void SummaryBox::toggleDetails()
{
    const bool show = m_details->isHidden();
    m_details->setVisible(show);
    m_toggle->setText(show ? HideDetails : ShowDetails);
    if (!show)
        resize(width(), minimumSizeHint().height());
}
