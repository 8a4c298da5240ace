// libFuzzer target: any bytes as shortcut.dat. Reading must not crash, every binding must
// have a display name, and bindings written back must read back unchanged.
#include "ShortcutTable.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<wendrel::Binding> bindings = wendrel::parseShortcutFile(bytes);
    bool linesOnly = true; // a carriage return inside a name cannot be written back as it was
    for (const wendrel::Binding &binding : bindings) {
        if (wendrel::keyDisplayName(binding.key).isEmpty())
            std::abort();
        linesOnly = linesOnly && !binding.key.contains(u'\r') && !binding.program.contains(u'\r');
    }
    if (linesOnly && wendrel::parseShortcutFile(wendrel::formatShortcutFile(bindings)) != bindings)
        std::abort();
    return 0;
}
