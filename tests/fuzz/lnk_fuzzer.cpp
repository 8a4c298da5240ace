// libFuzzer target: any bytes as a .lnk shortcut file, decoded as the launch decodes it. A
// command line found must be one line, trimmed and not empty, must survive being written
// back, and must split into a program and its arguments without a crash.
#include "LnkFormat.h"

#include <QStringDecoder>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringDecoder decoder(QStringDecoder::Utf8);
    const std::optional<QString> commandLine = wendrel::parseLnk(decoder.decode(bytes));
    if (!commandLine)
        return 0;
    if (commandLine->isEmpty() || commandLine->contains(u'\n') || commandLine->contains(u'\r')
        || *commandLine != commandLine->trimmed())
        std::abort();
    if (wendrel::parseLnk(wendrel::formatLnk(*commandLine)) != commandLine)
        std::abort();
    if (const auto command = wendrel::splitCommandLine(*commandLine); command && command->program.isNull())
        std::abort();
    return 0;
}
