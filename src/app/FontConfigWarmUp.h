#pragma once
// Fontconfig reads its configuration (dozens of XML files) the first time a font is looked up,
// which is the largest single piece of work before the window's first picture. This reads it
// on a thread of its own while the application object connects to the display; the window's
// first font look-up then finds it done.
#include <thread>

namespace wendrel {

class FontConfigWarmUp {
public:
    FontConfigWarmUp();
    // Waits for the configuration: before any font is looked up, since a look-up meanwhile
    // would read the configuration a second time.
    void finish();
    ~FontConfigWarmUp();

    FontConfigWarmUp(const FontConfigWarmUp &) = delete;
    FontConfigWarmUp &operator=(const FontConfigWarmUp &) = delete;

private:
    std::thread reader;
};

} // namespace wendrel
