#include "KeyboardApp.h"

int main(int argc, char **argv)
{
    wendrel::KeyboardApp app(argc, argv);
    return app.InitInstance();
}
