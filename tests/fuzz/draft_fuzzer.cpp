// libFuzzer target: any bytes as a draft. A readable draft must keep every 16-bit unit, so
// writing its text again gives the same bytes; anything else must read as damaged.
#include "DraftStore.h"
#include "TextFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const wendrel::DraftRead draft = wendrel::parseDraft(bytes);
    switch (draft.state) {
    case wendrel::DraftRead::State::Readable:
        if (wendrel::encodeTextFile(draft.text) != bytes)
            std::abort();
        break;
    case wendrel::DraftRead::State::Damaged:
        if (bytes.startsWith("\xFF\xFE") && bytes.size() % 2 == 0)
            std::abort();
        break;
    case wendrel::DraftRead::State::Missing:
        std::abort(); // bytes were there
    }
    return 0;
}
