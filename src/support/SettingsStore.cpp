#include "support/SettingsStore.h"

#include "support/RuntimeError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

SettingsStore::SettingsStore() : m_fileName(defaultFileName()) {}

SettingsStore::SettingsStore(const QString &iniFile) : m_fileName(iniFile) {}

QString SettingsStore::defaultFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/')
        + applicationName() + QLatin1Char('/') + applicationName() + QStringLiteral(".ini");
}

QString SettingsStore::read(const QString &key, const QString &defaultValue) const
{
    QSettings settings(m_fileName, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return defaultValue; // a damaged store counts as an empty one
    settings.beginGroup(section());
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return defaultValue;
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void SettingsStore::write(const QString &key, const QString &value)
{
    {
        QSettings probe(m_fileName, QSettings::IniFormat);
        if (probe.status() == QSettings::FormatError)
            setAsideDamagedFile();
    }
    QSettings settings(m_fileName, QSettings::IniFormat);
    settings.beginGroup(section());
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw RuntimeError(QStringLiteral("Cannot save the setting \"%1\" in %2").arg(key, m_fileName),
                           RuntimeError::PathFileAccess);
}

void SettingsStore::setAsideDamagedFile() const
{
    const QString aside = m_fileName + QStringLiteral(".damaged-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    if (!QFile::rename(m_fileName, aside))
        QFile::remove(m_fileName);
}
