#pragma once

#include "app/ISkinEngine.h"

// The skin engine: a skin file is a Qt style sheet.
class StyleSheetSkin : public ISkinEngine
{
public:
    bool loadSkin(const QString &path, const QString &part) override;
    qint32 applyOptions() const override { return m_options; }
    void setApplyOptions(qint32 options) override { m_options = options; }
    void setSkinDialogs(bool on) override { m_dialogs = on; }
    // Frames belong to the window manager.
    void setSkinFrames(bool) override {}
    void applyWindow(quintptr windowHandle) override;

    QString styleSheet() const { return m_styleSheet; }

private:
    QString m_styleSheet;
    qint32 m_options = 0;
    bool m_dialogs = false;
};
