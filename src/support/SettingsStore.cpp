#include "support/SettingsStore.h"

#include <QSettings>

SettingsStore::SettingsStore() : m_fileName(defaultFileName())
{
}

SettingsStore::SettingsStore(const QString &iniFile) : m_fileName(iniFile)
{
}

QString SettingsStore::defaultFileName()
{
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, applicationName(),
                             applicationName());
    return settings.fileName();
}

QString SettingsStore::read(const QString &key, const QString &defaultValue) const
{
    QSettings settings(m_fileName, QSettings::IniFormat);
    settings.beginGroup(section());
    return settings.value(key, defaultValue).toString();
}

void SettingsStore::write(const QString &key, const QString &value)
{
    QSettings settings(m_fileName, QSettings::IniFormat);
    settings.beginGroup(section());
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
}
