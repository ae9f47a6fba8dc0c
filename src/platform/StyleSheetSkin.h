#pragma once

#include "app/ISkinEngine.h"

// The skin engine: a skin file is a Qt style sheet.
class StyleSheetSkin : public ISkinEngine
{
public:
    bool LoadSkin(const QString &path, const QString &part) override;
    qint32 ApplyOptions() const override { return m_options; }
    void SetApplyOptions(qint32 options) override { m_options = options; }
    void SetSkinDialogs(bool on) override { m_dialogs = on; }
    void SetSkinFrames(bool on) override { m_frames = on; }
    void ApplyWindow(quintptr windowHandle) override;

    QString styleSheet() const { return m_styleSheet; }

private:
    QString m_styleSheet;
    qint32 m_options = 0;
    bool m_dialogs = false;
    bool m_frames = false;
};
