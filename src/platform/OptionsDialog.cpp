#include "platform/OptionsDialog.h"

#include "app/EngineSettings.h"
#include "capture/EngineOptionText.h"
#include "capture/OutputFormat.h"
#include "capture/RunOptionText.h"
#include "crawl/CrawlSettings.h"
#include "platform/DialogStandIn.h"
#include "support/RuntimeError.h"
#include "support/SettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

namespace {

QString switchText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// The label of a key's control: the key, as problems name it.
QString labelOf(const QString &key)
{
    return key + QLatin1Char(':');
}

} // namespace

OptionsDialog::OptionsDialog(SettingsStore &settings, QWidget *parent) : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("OptionsDialog"));
    setWindowTitle(QStringLiteral("Options"));
    auto *layout = new QVBoxLayout(this);
    auto *groups = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    left->addWidget(whatToSave());
    left->addWidget(whoTheBrowserIs());
    left->addStretch();
    groups->addLayout(left);
    auto *right = new QVBoxLayout;
    right->addWidget(howToLoad());
    right->addWidget(linksAndChanges());
    right->addStretch();
    groups->addLayout(right);
    layout->addLayout(groups);
    auto *note = new QLabel(QStringLiteral("Changes apply from the next run; \"Pages At Once\" from the next start "
                                           "of Textorin. Stored in %1.")
                                .arg(settings.fileName()));
    note->setWordWrap(true);
    layout->addWidget(note);
    m_problem = new QLabel;
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));
    m_problem->hide();
    layout->addWidget(m_problem);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);
    layout->addWidget(buttons);
    load();
}

QGroupBox *OptionsDialog::whatToSave()
{
    auto *box = new QGroupBox(QStringLiteral("What to save"));
    auto *form = new QFormLayout(box);
    auto *format = new QComboBox;
    for (const OutputFormat &each : OutputFormat::all())
        format->addItem(QStringLiteral("%1 (%2)").arg(each.name, each.extension), each.name);
    addField(form, SettingsKeys::Format, format,
             {[format] { return format->currentData().toString(); },
              [format](const QString &text) {
                  const OutputFormat *named = OutputFormat::named(text);
                  format->setCurrentIndex(format->findData(named ? named->name : OutputFormat::text().name));
              },
              OutputFormat::text().name});
    addSwitch(form, SettingsKeys::MainContent, QStringLiteral("only the page's main article"), false);
    return box;
}

QGroupBox *OptionsDialog::howToLoad()
{
    const EngineOptions defaults;
    auto *box = new QGroupBox(QStringLiteral("How to load"));
    auto *form = new QFormLayout(box);
    addCount(form, SettingsKeys::PagesAtOnce, RunOptionText::MostPagesAtOnce, 1);
    addSeconds(form, SettingsKeys::TimeLimit, 0.1, defaults.pageLimitMs);
    addSeconds(form, SettingsKeys::Settle, 0, defaults.settleMs);
    addSeconds(form, SettingsKeys::Delay, 0, defaults.delayMs);
    addSwitch(form, SettingsKeys::Scroll, QStringLiteral("scroll to the bottom first"), defaults.scroll);
    addText(form, SettingsKeys::WaitFor, QStringLiteral("#content"));
    addSwitch(form, SettingsKeys::RequireSelector, QStringLiteral("fail a page where it never appears"),
              defaults.requireSelector);
    addBlock(form);
    addCount(form, SettingsKeys::Tries, 100, 1);
    addSeconds(form, SettingsKeys::Wait, 0, 0);
    addFile(form, SettingsKeys::RulesFile, QStringLiteral("Rules File"));
    return box;
}

QGroupBox *OptionsDialog::whoTheBrowserIs()
{
    const EngineOptions defaults;
    auto *box = new QGroupBox(QStringLiteral("Who the browser is"));
    auto *form = new QFormLayout(box);
    addText(form, SettingsKeys::UserAgent, QStringLiteral("MyBot/1.0"));
    addText(form, SettingsKeys::Language, QStringLiteral("de-DE"));
    addFile(form, SettingsKeys::CookiesFile, QStringLiteral("Cookies File"));
    addText(form, SettingsKeys::Proxy, QStringLiteral("http://host:3128"));
    addFile(form, SettingsKeys::CaCertificate, QStringLiteral("CA Certificate"));
    addSwitch(form, SettingsKeys::CheckCertificates, QStringLiteral("fail pages whose certificate is not trusted"),
              defaults.checkCertificates);
    auto *headers = new QPlainTextEdit;
    headers->setPlaceholderText(QStringLiteral("X-Team: text tools\n(one header a line)"));
    headers->setTabChangesFocus(true);
    headers->setFixedHeight(headers->fontMetrics().lineSpacing() * 4);
    addField(form, SettingsKeys::Header, headers,
             {[headers] { return headers->toPlainText().trimmed(); },
              [headers](const QString &text) { headers->setPlainText(text); }, QString()});
    return box;
}

QGroupBox *OptionsDialog::linksAndChanges()
{
    auto *box = new QGroupBox(QStringLiteral("Following links and changes"));
    auto *form = new QFormLayout(box);
    addSwitch(form, SettingsKeys::FollowLinks, QStringLiteral("save the pages the rows link to, on their sites"),
              false);
    addLimit(form, SettingsKeys::LinkDepth, 1000, CrawlSettings().level, QStringLiteral("inf"));
    addLimit(form, SettingsKeys::MaxPages, std::numeric_limits<int>::max(), 0, QString());
    addSwitch(form, SettingsKeys::TrackChanges, QStringLiteral("tell what changed since the last run"), false);
    addSwitch(form, SettingsKeys::ChangedOnly, QStringLiteral("write only the pages that changed"), false);
    addSwitch(form, SettingsKeys::WriteDiffs, QStringLiteral("a .diff beside each changed file"), false);
    addSwitch(form, SettingsKeys::IgnoreWhitespace, QStringLiteral("changes of blanks alone are no change"), false);
    return box;
}

void OptionsDialog::addLimit(QFormLayout *form, const QString &key, int most, int defaultCount, const QString &zeroText)
{
    auto *spin = new QSpinBox;
    spin->setRange(0, most);
    spin->setSpecialValueText(QStringLiteral("no limit"));
    addField(form, key, spin,
             {[spin, zeroText] { return spin->value() == 0 ? zeroText : QString::number(spin->value()); },
              [spin, defaultCount](const QString &text) {
                  bool ok = false;
                  const int count = text.toInt(&ok);
                  const bool unlimited = text.trimmed().compare(QLatin1String("inf"), Qt::CaseInsensitive) == 0;
                  spin->setValue(unlimited ? 0 : ok ? count : defaultCount);
              },
              defaultCount == 0 ? zeroText : QString::number(defaultCount)});
}

void OptionsDialog::addField(QFormLayout *form, const QString &key, QWidget *control, Field field)
{
    control->setObjectName(key);
    form->addRow(labelOf(key), control);
    m_fields.insert(key, std::move(field));
}

void OptionsDialog::addSwitch(QFormLayout *form, const QString &key, const QString &text, bool on)
{
    auto *check = new QCheckBox(text);
    addField(form, key, check,
             {[check] { return switchText(check->isChecked()); },
              [check, on](const QString &value) {
                  // A value that is no switch shows the default.
                  bool read = on;
                  EngineSettings::readSwitch(value, read);
                  check->setChecked(read);
              },
              switchText(on)});
}

void OptionsDialog::addSeconds(QFormLayout *form, const QString &key, double least, int defaultMs)
{
    auto *spin = new QDoubleSpinBox;
    spin->setDecimals(2);
    spin->setRange(least, 86'400);
    spin->setSuffix(QStringLiteral(" s"));
    const QString defaultText = QString::number(defaultMs / 1000.0);
    addField(form, key, spin,
             {[spin] { return QString::number(spin->value()); },
              [spin, defaultText](const QString &text) {
                  bool ok = false;
                  const double seconds = text.toDouble(&ok);
                  spin->setValue(ok ? seconds : defaultText.toDouble());
              },
              defaultText});
}

void OptionsDialog::addCount(QFormLayout *form, const QString &key, int most, int defaultCount)
{
    auto *spin = new QSpinBox;
    spin->setRange(1, most);
    addField(form, key, spin,
             {[spin] { return QString::number(spin->value()); },
              [spin, defaultCount](const QString &text) {
                  bool ok = false;
                  const int count = text.toInt(&ok);
                  spin->setValue(ok ? count : defaultCount);
              },
              QString::number(defaultCount)});
}

void OptionsDialog::addText(QFormLayout *form, const QString &key, const QString &example)
{
    auto *edit = new QLineEdit;
    edit->setPlaceholderText(example);
    addField(form, key, edit,
             {[edit] { return edit->text(); }, [edit](const QString &text) { edit->setText(text); }, QString()});
}

void OptionsDialog::addFile(QFormLayout *form, const QString &key, const QString &title)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *edit = new QLineEdit;
    edit->setPlaceholderText(QStringLiteral("/path/file"));
    auto *choose = new QPushButton(QStringLiteral("..."));
    choose->setObjectName(key + QStringLiteral(" Chooser"));
    layout->addWidget(edit);
    layout->addWidget(choose);
    const auto chooseFile = [this, edit, title] {
        QFileDialog dialog(this, title);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        if (!edit->text().isEmpty())
            dialog.selectFile(edit->text());
        const QString chosen = DialogStandIn::askFile(DialogStandIn::Kind::OpenFile, dialog);
        if (!chosen.isEmpty())
            edit->setText(chosen);
    };
    connect(choose, &QPushButton::clicked, this, chooseFile);
    addField(form, key, row,
             {[edit] { return edit->text(); }, [edit](const QString &text) { edit->setText(text); }, QString()});
}

void OptionsDialog::addBlock(QFormLayout *form)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    QList<QCheckBox *> kinds;
    for (const QString &name : EngineOptionText::blockedNames().split(QLatin1Char(','))) {
        kinds << new QCheckBox(name);
        layout->addWidget(kinds.back());
    }
    // The list as the batch's --block takes it, "none" when nothing is blocked.
    const auto text = [kinds] {
        QStringList names;
        for (const QCheckBox *kind : kinds) {
            if (kind->isChecked())
                names << kind->text();
        }
        return names.isEmpty() ? QStringLiteral("none") : names.join(QLatin1Char(','));
    };
    const QString defaultText = EngineOptionText::blockedText(EngineOptions().blocked);
    const auto show = [kinds, defaultText](const QString &value) {
        EngineOptions read;
        if (!EngineOptionText::readBlocked(value, read).isEmpty())
            EngineOptionText::readBlocked(defaultText, read);
        const QStringList names = EngineOptionText::blockedText(read.blocked).split(QLatin1Char(','));
        for (QCheckBox *kind : kinds)
            kind->setChecked(names.contains(kind->text()));
    };
    addField(form, SettingsKeys::Block, row, {text, show, defaultText});
}

void OptionsDialog::load()
{
    for (auto field = m_fields.cbegin(); field != m_fields.cend(); ++field) {
        const QString stored = m_settings.read(field.key());
        field->show(stored.isEmpty() ? field->defaultText : stored);
    }
    m_problem->clear();
    m_problem->hide();
}

QString OptionsDialog::value(const QString &key) const
{
    return m_fields.contains(key) ? m_fields.value(key).text() : QString();
}

void OptionsDialog::setValue(const QString &key, const QString &text)
{
    if (m_fields.contains(key))
        m_fields.value(key).show(text);
}

QString OptionsDialog::problem() const
{
    return m_problem->text();
}

void OptionsDialog::accept()
{
    const QString refusal = EngineSettings::refusal([this](const QString &key) { return value(key); });
    if (!refusal.isEmpty()) {
        m_problem->setText(refusal);
        m_problem->show();
        return;
    }
    try {
        for (auto field = m_fields.cbegin(); field != m_fields.cend(); ++field)
            m_settings.write(field.key(), field->text());
    } catch (const RuntimeError &error) {
        m_problem->setText(error.description());
        m_problem->show();
        return;
    }
    m_problem->clear();
    m_problem->hide();
    QDialog::accept();
}
