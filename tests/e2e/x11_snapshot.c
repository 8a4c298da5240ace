/* Writes the X server's root window as a binary PPM (P6) to standard output, so that a test
 * can see what a nested compositor shows. Usage: DISPLAY=:n x11-snapshot > screen.ppm */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>

int main(void)
{
    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "x11-snapshot: cannot open the display\n");
        return 1;
    }
    Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    XImage *image = XGetImage(display, root, 0, 0, (unsigned)attributes.width, (unsigned)attributes.height,
                              AllPlanes, ZPixmap);
    if (!image) {
        fprintf(stderr, "x11-snapshot: cannot read the screen\n");
        return 1;
    }
    printf("P6\n%d %d\n255\n", attributes.width, attributes.height);
    for (int y = 0; y < attributes.height; ++y) {
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            const unsigned char rgb[3] = {(unsigned char)((pixel & image->red_mask) >> 16),
                                          (unsigned char)((pixel & image->green_mask) >> 8),
                                          (unsigned char)(pixel & image->blue_mask)};
            fwrite(rgb, 1, 3, stdout);
        }
    }
    XDestroyImage(image);
    XCloseDisplay(display);
    return 0;
}
