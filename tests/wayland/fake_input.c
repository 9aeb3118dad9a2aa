/* Moves KWin's pointer, presses its buttons and types its keys for the Wayland desktop tests,
 * through KWin's fake-input protocol (XTest inside XWayland reaches X11 windows only, and KWin 6
 * loses XTest keys while a menu of XWayland's has the keyboard).
 *
 * Reads commands from stdin, one a line, and answers each with "ok" once KWin has handled it
 * (a round trip after the request):
 *   move X Y          pointer to (X, Y), in KWin's logical pixels
 *   press BUTTON      a Linux button code (272 left, 273 right, 274 middle)
 *   release BUTTON
 *   key KEY           a Linux key code pressed and released, as a keyboard types it
 * Ends at the end of its input. KWin offers the protocol only to programs it trusts: a desktop
 * file naming the program with X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input, or
 * KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 in KWin's environment. */

#include "fake-input-client-protocol.h"

#include <stdio.h>
#include <string.h>
#include <wayland-client.h>

static struct org_kde_kwin_fake_input *fake_input;
static uint32_t fake_input_version;

static void global_added(void *data, struct wl_registry *registry, uint32_t name,
                         const char *interface, uint32_t version) {
    (void)data;
    /* Absolute motion came with version 3, keys with 4. */
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 3) {
        fake_input_version = version < 4 ? version : 4;
        fake_input = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface,
                                      fake_input_version);
    }
}

static void global_removed(void *data, struct wl_registry *registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {global_added, global_removed};

int main(void) {
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "fake_input: cannot connect to the Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!fake_input) {
        fprintf(stderr, "fake_input: the compositor offers no org_kde_kwin_fake_input (version 3 "
                        "or later) to this program\n");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(fake_input, "Vardo tests", "drive the pointer");

    char line[128];
    while (fgets(line, sizeof line, stdin)) {
        double x, y;
        unsigned button, key;
        if (sscanf(line, "move %lf %lf", &x, &y) == 2) {
            org_kde_kwin_fake_input_pointer_motion_absolute(fake_input, wl_fixed_from_double(x),
                                                            wl_fixed_from_double(y));
        } else if (sscanf(line, "press %u", &button) == 1) {
            org_kde_kwin_fake_input_button(fake_input, button, WL_POINTER_BUTTON_STATE_PRESSED);
        } else if (sscanf(line, "release %u", &button) == 1) {
            org_kde_kwin_fake_input_button(fake_input, button, WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (sscanf(line, "key %u", &key) == 1 && fake_input_version >= 4) {
            org_kde_kwin_fake_input_keyboard_key(fake_input, key, WL_KEYBOARD_KEY_STATE_PRESSED);
            org_kde_kwin_fake_input_keyboard_key(fake_input, key, WL_KEYBOARD_KEY_STATE_RELEASED);
        } else {
            fprintf(stderr, "fake_input: unknown command: %s", line);
            return 2;
        }
        if (wl_display_roundtrip(display) < 0) {
            fprintf(stderr, "fake_input: lost the Wayland display\n");
            return 1;
        }
        puts("ok");
        fflush(stdout);
    }
    wl_display_disconnect(display);
    return 0;
}
