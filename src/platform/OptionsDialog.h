#pragma once

#include <QDialog>
#include <QHash>
#include <QString>

#include <functional>

class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;
class SettingsStore;

// The window's page options, grouped as "What to save", "How to load" and "Who
// the browser is", one control per settings key. OK stores every value, or,
// when one cannot be used, names it with the batch's message and stays open;
// Cancel stores nothing.
class OptionsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit OptionsDialog(SettingsStore &settings, QWidget *parent = nullptr);

    // Shows the stored values; a value not set, or one a control cannot show, shows its default.
    void load();
    // A key's value as its control shows it, in the settings' text form.
    QString value(const QString &key) const;
    void setValue(const QString &key, const QString &text);
    // What the last OK refused, or empty.
    QString problem() const;

    void accept() override;

private:
    struct Field {
        std::function<QString()> text;
        std::function<void(const QString &)> show;
        QString defaultText;
    };

    QGroupBox *whatToSave();
    QGroupBox *howToLoad();
    QGroupBox *whoTheBrowserIs();
    QGroupBox *linksAndChanges();
    // A number from 0, 0 shown as "no limit"; `zeroText` is what 0 is stored as.
    void addLimit(QFormLayout *form, const QString &key, int most, int defaultCount, const QString &zeroText);
    void addField(QFormLayout *form, const QString &key, QWidget *control, Field field);
    void addSwitch(QFormLayout *form, const QString &key, const QString &text, bool on);
    void addSeconds(QFormLayout *form, const QString &key, double least, int defaultMs);
    void addCount(QFormLayout *form, const QString &key, int most, int defaultCount);
    void addText(QFormLayout *form, const QString &key, const QString &example);
    void addFile(QFormLayout *form, const QString &key, const QString &title);
    void addBlock(QFormLayout *form);

    SettingsStore &m_settings;
    QHash<QString, Field> m_fields;
    QLabel *m_problem = nullptr;
};
