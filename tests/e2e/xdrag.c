/* xdrag X Y URI: drags URI (a text/uri-list) from an X program of its own onto
 * the window at root point X, Y and drops it there, as a Linux file manager
 * does (the XDND protocol, version 5), moving the pointer with it. Exits 0 once
 * the target says it took the drop; 1 if it refused; 2 on any other fault.
 * A native Linux program: the end-to-end tests start it from inside Wine. */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static Display *display;
static Window source;
static const char *uri;

static Atom atom(const char *name) { return XInternAtom(display, name, False); }

static void send_message(Window target, const char *type, long l0, long l1, long l2, long l3, long l4)
{
    XEvent e;
    memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = target;
    e.xclient.message_type = atom(type);
    e.xclient.format = 32;
    e.xclient.data.l[0] = l0;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &e);
    XFlush(display);
}

/* The deepest window under the point that takes drops (it has XdndAware). */
static Window drop_target(int x, int y)
{
    const Window root = DefaultRootWindow(display);
    Window w = root, child, found = None;
    int wx, wy;
    while (XTranslateCoordinates(display, root, w, x, y, &wx, &wy, &child) && child) {
        Atom type;
        int format;
        unsigned long n, left;
        unsigned char *value = NULL;
        w = child;
        if (XGetWindowProperty(display, w, atom("XdndAware"), 0, 1, False, AnyPropertyType, &type, &format, &n,
                               &left, &value) == Success && value) {
            found = w;
            XFree(value);
        }
    }
    return found;
}

/* Gives the target the URI when it asks for the dragged data. */
static void answer(const XSelectionRequestEvent *r)
{
    XEvent e;
    memset(&e, 0, sizeof e);
    e.xselection.type = SelectionNotify;
    e.xselection.requestor = r->requestor;
    e.xselection.selection = r->selection;
    e.xselection.target = r->target;
    e.xselection.time = r->time;
    e.xselection.property = None;
    if (r->target == atom("text/uri-list")) {
        XChangeProperty(display, r->requestor, r->property, r->target, 8, PropModeReplace,
                        (const unsigned char *)uri, (int)strlen(uri));
        e.xselection.property = r->property;
    }
    XSendEvent(display, r->requestor, False, NoEventMask, &e);
    XFlush(display);
}

/* Serves the data until the message of that type comes; 0 if none within 5 s. */
static int wait_for(const char *type, XEvent *e)
{
    const time_t end = time(NULL) + 5;
    while (time(NULL) < end) {
        while (XPending(display)) {
            XNextEvent(display, e);
            if (e->type == SelectionRequest)
                answer(&e->xselectionrequest);
            else if (e->type == ClientMessage && e->xclient.message_type == atom(type))
                return 1;
        }
        nanosleep(&(struct timespec){0, 10 * 1000 * 1000}, NULL);
    }
    return 0;
}

int main(int argc, char **argv)
{
    XEvent e;
    Window target;
    int x, y;
    if (argc != 4) {
        fprintf(stderr, "usage: xdrag X Y URI\n");
        return 2;
    }
    x = atoi(argv[1]);
    y = atoi(argv[2]);
    uri = argv[3];
    if (!(display = XOpenDisplay(NULL)))
        return 2;
    source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, atom("XdndSelection"), source, CurrentTime);
    if (!(target = drop_target(x, y))) {
        fprintf(stderr, "xdrag: no window that takes drops at %d, %d\n", x, y);
        return 2;
    }
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, x - 20, y - 20);
    send_message(target, "XdndEnter", (long)source, 5L << 24, (long)atom("text/uri-list"), 0, 0);
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, x, y);
    send_message(target, "XdndPosition", (long)source, 0, ((long)x << 16) | y, CurrentTime,
                 (long)atom("XdndActionCopy"));
    if (!wait_for("XdndStatus", &e)) {
        fprintf(stderr, "xdrag: the target never answered\n");
        return 2;
    }
    if (!(e.xclient.data.l[1] & 1)) {
        send_message(target, "XdndLeave", (long)source, 0, 0, 0, 0);
        return 1;
    }
    send_message(target, "XdndDrop", (long)source, 0, CurrentTime, 0, 0);
    if (!wait_for("XdndFinished", &e)) {
        fprintf(stderr, "xdrag: the drop was never finished\n");
        return 2;
    }
    return (e.xclient.data.l[1] & 1) ? 0 : 1;
}
