#pragma once

#include <QString>
#include <QtGlobal>

// The skin engine `SkinFramework1`: loads a skin file and applies it to a window.
class ISkinEngine
{
public:
    virtual ~ISkinEngine() = default;

    // Loads a skin from its file; the second text names a part of it (empty: all).
    virtual bool loadSkin(const QString &path, const QString &part) = 0;
    // Options of how the skin is applied, a bit mask; bit 1 skins the whole application.
    virtual qint32 applyOptions() const = 0;
    virtual void setApplyOptions(qint32 options) = 0;
    // Whether message boxes and other dialogs are skinned too.
    virtual void setSkinDialogs(bool on) = 0;
    // Whether window frames and scroll bars follow the skin.
    virtual void setSkinFrames(bool on) = 0;
    virtual void applyWindow(quintptr windowHandle) = 0;

    static constexpr qint32 ApplyToApplication = 1;
};
