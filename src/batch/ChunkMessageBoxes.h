#pragma once

#include "support/IMessageBoxes.h"

// The boxes of one chunk of a batch run: every box passes through but the
// chunk's closing "Done.", which the batch shows once, after its last chunk.
class ChunkMessageBoxes : public IMessageBoxes
{
public:
    explicit ChunkMessageBoxes(IMessageBoxes &boxes) : m_boxes(boxes) {}

    void information(const QString &text) override;
    void warning(const QString &caption, const QString &text) override;
    QString inputBox(const QString &prompt) override;

private:
    IMessageBoxes &m_boxes;
};
