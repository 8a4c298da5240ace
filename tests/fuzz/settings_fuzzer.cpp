// libFuzzer target: any bytes as config.dat. Reading must give flags of 0 or 1, and the
// settings written back must read back unchanged.
#include "SettingsFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const wendrel::Settings settings = wendrel::parseSettings(bytes);
    if ((settings.lightFlag != 0 && settings.lightFlag != 1)
        || (settings.completionFlag != 0 && settings.completionFlag != 1))
        std::abort();
    const QByteArray written = wendrel::formatSettings(settings);
    if (wendrel::formatSettings(wendrel::parseSettings(written)) != written)
        std::abort();
    return 0;
}
