#include "platform/QtMessageBoxes.h"

#include "platform/DialogStandIn.h"
#include "platform/SummaryBox.h"
#include "support/ApplicationError.h"
#include "support/ApplicationTitle.h"

#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>

namespace {

// A short text makes a narrow box whose title bar has no room for its caption.
void keepCaptionVisible(QMessageBox &box)
{
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(260, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                      grid->columnCount());
}

} // namespace

QtMessageBoxes::QtMessageBoxes(QWidget *owner) : m_owner(owner) {}

QString QtMessageBoxes::displayText(const QString &text)
{
    return WithLineFeeds(text);
}

void QtMessageBoxes::information(const QString &text)
{
    summary(text, {}, {});
}

void QtMessageBoxes::summary(const QString &text, const QString &informative, const QString &details)
{
    const QString caption = ApplicationTitle::current();
    if (DialogStandIn::isSet()) {
        DialogStandIn::answer({DialogStandIn::Kind::Information, caption, text, nullptr, informative, details});
        return;
    }
    if (!details.isEmpty()) {
        SummaryBox box(caption, displayText(text), displayText(informative), details, m_owner);
        box.exec();
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, displayText(text), QMessageBox::Ok, m_owner);
    box.setInformativeText(displayText(informative));
    keepCaptionVisible(box);
    box.exec();
}

void QtMessageBoxes::selectableInformation(const QString &text)
{
    const QString caption = ApplicationTitle::current();
    if (DialogStandIn::isSet()) {
        DialogStandIn::answer({DialogStandIn::Kind::Information, caption, text, nullptr, {}, {}});
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, displayText(text), QMessageBox::Ok, m_owner);
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    keepCaptionVisible(box);
    box.exec();
}

void QtMessageBoxes::warning(const QString &caption, const QString &text)
{
    if (DialogStandIn::isSet()) {
        DialogStandIn::answer({DialogStandIn::Kind::Warning, caption, text, nullptr, {}, {}});
        return;
    }
    QMessageBox box(QMessageBox::Warning, caption, displayText(text), QMessageBox::Ok, m_owner);
    box.exec();
}

QString QtMessageBoxes::inputBox(const QString &prompt)
{
    const QString caption = ApplicationTitle::current();
    if (DialogStandIn::isSet())
        return DialogStandIn::answer({DialogStandIn::Kind::Input, caption, prompt, nullptr, {}, {}});
    QInputDialog dialog(m_owner);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(QString());
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.textValue();
}
