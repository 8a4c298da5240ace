#include "FontConfigWarmUp.h"

#include <fontconfig/fontconfig.h>
#include <system_error>

namespace wendrel {

FontConfigWarmUp::FontConfigWarmUp()
{
    try {
        reader = std::thread([] { FcInit(); });
    } catch (const std::system_error &) {
        // No thread: the toolkit reads the configuration itself at the first font, as usual.
    }
}

void FontConfigWarmUp::finish()
{
    if (reader.joinable())
        reader.join();
}

FontConfigWarmUp::~FontConfigWarmUp()
{
    finish();
}

} // namespace wendrel
