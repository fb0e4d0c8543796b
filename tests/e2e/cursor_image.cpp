// Prints how many pixels of the X server's current pointer image are visible (alpha > 0),
// so a test can tell whether the system pointer is shown over a window.
//   cursor_image   (uses $DISPLAY)
#include <cstdio>

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

int main()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cursor_image: cannot open the display\n");
        return 2;
    }
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    if (!image) {
        std::fprintf(stderr, "cursor_image: no cursor image\n");
        return 2;
    }
    int visible = 0;
    for (int i = 0; i < image->width * image->height; i++) {
        if ((image->pixels[i] >> 24) & 0xFF)
            visible++;
    }
    std::printf("%d\n", visible);
    XFree(image);
    XCloseDisplay(display);
    return 0;
}
