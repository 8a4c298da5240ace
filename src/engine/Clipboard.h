#pragma once
// The clipboard as the typing session sees it: Copy puts the whole text there and Paste takes
// it back. The window gives the system's clipboard; wendrel-type and the tests one of their own.
#include <QString>

namespace wendrel {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString &text) = 0;
};

// A clipboard that lives in the session's process only.
class MemoryClipboard : public Clipboard {
public:
    QString text() const override { return held; }
    void setText(const QString &text) override { held = text; }

private:
    QString held;
};

} // namespace wendrel
