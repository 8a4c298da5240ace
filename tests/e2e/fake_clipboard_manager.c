/* A clipboard manager that takes the CLIPBOARD_MANAGER selection and then never answers:
 * the worst a program can meet at exit. Wendrel must still leave its text on the clipboard
 * and end promptly. Runs until killed. */
#include <X11/Xlib.h>
#include <stdio.h>

int main(void)
{
    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "no display\n");
        return 1;
    }
    Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    Atom manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
    XSetSelectionOwner(display, manager, window, CurrentTime);
    XSync(display, False);
    if (XGetSelectionOwner(display, manager) != window) {
        fprintf(stderr, "could not own CLIPBOARD_MANAGER\n");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event); /* requests are read and left unanswered */
    }
}
