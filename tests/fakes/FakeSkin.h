#pragma once

#include "app/ISkinEngine.h"
#include "support/RuntimeError.h"

#include <QFileInfo>
#include <QStringList>

// Records every call of the skin engine; can fail the load.
class FakeSkin : public ISkinEngine
{
public:
    bool loadSkin(const QString &path, const QString &part) override
    {
        calls << QStringLiteral("load %1 [%2]").arg(QFileInfo(path).fileName(), part);
        if (failLoad)
            throw RuntimeError(QStringLiteral("Skin engine failed"));
        return true;
    }
    qint32 applyOptions() const override { return options; }
    void setApplyOptions(qint32 value) override
    {
        options = value;
        calls << QStringLiteral("options %1").arg(value);
    }
    void setSkinDialogs(bool on) override { calls << QStringLiteral("dialogs %1").arg(on); }
    void setSkinFrames(bool on) override { calls << QStringLiteral("frames %1").arg(on); }
    void applyWindow(quintptr handle) override { calls << QStringLiteral("apply %1").arg(handle); }

    QStringList calls;
    qint32 options = 4;
    bool failLoad = false;
};
