// libFuzzer target: any bytes as a text file for Load. Decoding must not crash, the text
// must hold no zero character (it cannot be shown), and saving it must give a file that
// loads as the same text.
#include "TextFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = wendrel::decodeTextFile(bytes);
    if (text.contains(QChar(0)))
        std::abort();
    if (wendrel::decodeTextFile(wendrel::encodeTextFile(text)) != text)
        std::abort();
    return 0;
}
