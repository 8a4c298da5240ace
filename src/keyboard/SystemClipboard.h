#pragma once
// The desktop's clipboard for the typing session's Copy and Paste.
#include "Clipboard.h"

namespace wendrel {

class SystemClipboard : public Clipboard {
public:
    QString text() const override;
    void setText(const QString &text) override;
};

} // namespace wendrel
