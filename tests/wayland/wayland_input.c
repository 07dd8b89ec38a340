/*
 * wayland-input.c - pointer input for a headless wlroots compositor (sway).
 *
 * sway's headless backend has no input devices, so its seat advertises no
 * wl_pointer / wl_keyboard and clients never see the events that
 * `swaymsg seat - cursor ...` or wtype inject.  Also, `swaymsg seat - cursor move`
 * sends no motion to a client while a button is held, so it cannot drag.
 *
 *   wayland-input                 hold a virtual pointer + virtual keyboard until SIGTERM
 *                            (the seat then has both capabilities); prints "ready"
 *   wayland-input CMD...          run pointer commands through a virtual pointer, then exit:
 *       move X Y             absolute, in layout pixels
 *       press [left|right|middle]   release [left|right|middle]
 *       click X Y            move + press + release (left)
 *       drag X1 Y1 X2 Y2     move, press, 20 steps of motion, release (left)
 *       sleep MS
 *   e.g. wayland-input drag 400 300 600 450
 *
 * build: wayland-scanner client-header/private-code on wlr-virtual-pointer-unstable-v1.xml
 * and virtual-keyboard-unstable-v1.xml (wlroots 0.15 source package) and on
 * xdg-output-unstable-v1.xml (wayland-protocols), then
 *   cc -O2 wayland-input.c *-protocol.c -lwayland-client -lxkbcommon
 */
#define _GNU_SOURCE
#include <linux/input-event-codes.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

struct out { int x, y, w, h; };
static struct out outs[16];
static int n_outs;
static struct wl_seat *seat;
static struct zwlr_virtual_pointer_manager_v1 *vp_manager;
static struct zwp_virtual_keyboard_manager_v1 *vk_manager;
static volatile sig_atomic_t stop;

/* wl_output.geometry does not carry the layout position on wlroots: use xdg-output */
static void x_pos(void *d, struct zxdg_output_v1 *o, int32_t x, int32_t y) {
    struct out *r = d; r->x = x; r->y = y; (void)o;
}
static void x_size(void *d, struct zxdg_output_v1 *o, int32_t w, int32_t h) {
    struct out *r = d; r->w = w; r->h = h; (void)o;
}
static void x_done(void *d, struct zxdg_output_v1 *o) { (void)d; (void)o; }
static void x_name(void *d, struct zxdg_output_v1 *o, const char *n) { (void)d; (void)o; (void)n; }
static void x_desc(void *d, struct zxdg_output_v1 *o, const char *n) { (void)d; (void)o; (void)n; }
static const struct zxdg_output_v1_listener xdg_output_listener = {
    .logical_position = x_pos, .logical_size = x_size, .done = x_done, .name = x_name, .description = x_desc };
static struct wl_output *wl_outs[16];
static struct zxdg_output_manager_v1 *xo_manager;

static void global(void *data, struct wl_registry *reg, uint32_t name, const char *iface, uint32_t version) {
    (void)data; (void)version;
    if (!strcmp(iface, wl_seat_interface.name) && !seat)
        seat = wl_registry_bind(reg, name, &wl_seat_interface, 1);
    else if (!strcmp(iface, zwlr_virtual_pointer_manager_v1_interface.name))
        vp_manager = wl_registry_bind(reg, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    else if (!strcmp(iface, zwp_virtual_keyboard_manager_v1_interface.name))
        vk_manager = wl_registry_bind(reg, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
    else if (!strcmp(iface, wl_output_interface.name) && n_outs < 16)
        wl_outs[n_outs++] = wl_registry_bind(reg, name, &wl_output_interface, 1);
    else if (!strcmp(iface, zxdg_output_manager_v1_interface.name))
        xo_manager = wl_registry_bind(reg, name, &zxdg_output_manager_v1_interface, 2);
}
static void global_remove(void *d, struct wl_registry *r, uint32_t n) { (void)d; (void)r; (void)n; }
static const struct wl_registry_listener registry_listener = { global, global_remove };

static void on_signal(int sig) { (void)sig; stop = 1; }

static uint32_t now_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

static int hold(struct wl_display *dpy) {
    struct zwlr_virtual_pointer_v1 *ptr = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(vp_manager, seat);
    /* a virtual keyboard must announce a keymap before the compositor accepts it */
    struct xkb_context *ctx = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    struct xkb_rule_names names = { .layout = "us" };
    struct xkb_keymap *km = ctx ? xkb_keymap_new_from_names(ctx, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : NULL;
    char *text = km ? xkb_keymap_get_as_string(km, XKB_KEYMAP_FORMAT_TEXT_V1) : NULL;
    if (!text) { fprintf(stderr, "wayland-input: cannot compile an xkb keymap\n"); return 1; }
    size_t size = strlen(text) + 1;
    int fd = memfd_create("wayland-input-keymap", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, size) < 0) { perror("wayland-input: memfd"); return 1; }
    char *map = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) { perror("wayland-input: mmap"); return 1; }
    memcpy(map, text, size);
    munmap(map, size);
    struct zwp_virtual_keyboard_v1 *kbd = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(vk_manager, seat);
    zwp_virtual_keyboard_v1_keymap(kbd, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, size);
    wl_display_roundtrip(dpy);
    printf("ready\n");
    fflush(stdout);
    struct sigaction sa = { .sa_handler = on_signal };
    sigaction(SIGTERM, &sa, NULL);
    sigaction(SIGINT, &sa, NULL);
    while (!stop && wl_display_dispatch(dpy) != -1) {
    }
    zwlr_virtual_pointer_v1_destroy(ptr);
    zwp_virtual_keyboard_v1_destroy(kbd);
    wl_display_flush(dpy);
    return 0;
}

static uint32_t button_code(const char *s) {
    if (!s || !strcmp(s, "left")) return BTN_LEFT;
    if (!strcmp(s, "right")) return BTN_RIGHT;
    if (!strcmp(s, "middle")) return BTN_MIDDLE;
    return 0;
}

int main(int argc, char **argv) {
    struct wl_display *dpy = wl_display_connect(NULL);
    if (!dpy) { fprintf(stderr, "wayland-input: cannot connect to WAYLAND_DISPLAY\n"); return 1; }
    struct wl_registry *reg = wl_display_get_registry(dpy);
    wl_registry_add_listener(reg, &registry_listener, NULL);
    wl_display_roundtrip(dpy);
    if (xo_manager) {
        for (int i = 0; i < n_outs; i++)
            zxdg_output_v1_add_listener(zxdg_output_manager_v1_get_xdg_output(xo_manager, wl_outs[i]),
                                        &xdg_output_listener, &outs[i]);
        wl_display_roundtrip(dpy);
    }
    if (!seat || !vp_manager || !vk_manager) {
        fprintf(stderr, "wayland-input: compositor lacks wl_seat / zwlr_virtual_pointer_manager_v1 / "
                        "zwp_virtual_keyboard_manager_v1\n");
        return 1;
    }
    if (argc < 2) return hold(dpy);

    /* absolute motion is relative to the whole output layout's bounding box */
    int ext_w = 0, ext_h = 0;
    for (int i = 0; i < n_outs; i++) {
        if (outs[i].x + outs[i].w > ext_w) ext_w = outs[i].x + outs[i].w;
        if (outs[i].y + outs[i].h > ext_h) ext_h = outs[i].y + outs[i].h;
    }
    if (ext_w <= 0 || ext_h <= 0) { fprintf(stderr, "wayland-input: no output layout known (xdg-output)\n"); return 1; }
    struct zwlr_virtual_pointer_v1 *p = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(vp_manager, seat);
    int cx = 0, cy = 0;
#define MOVE(X, Y) do { cx = (X); cy = (Y); \
        zwlr_virtual_pointer_v1_motion_absolute(p, now_ms(), cx, cy, ext_w, ext_h); \
        zwlr_virtual_pointer_v1_frame(p); wl_display_roundtrip(dpy); } while (0)
#define BUTTON(B, S) do { zwlr_virtual_pointer_v1_button(p, now_ms(), (B), (S)); \
        zwlr_virtual_pointer_v1_frame(p); wl_display_roundtrip(dpy); } while (0)
    for (int i = 1; i < argc; i++) {
        const char *c = argv[i];
        if (!strcmp(c, "move") && i + 2 < argc) {
            MOVE(atoi(argv[i + 1]), atoi(argv[i + 2])); i += 2;
        } else if ((!strcmp(c, "press") || !strcmp(c, "release"))) {
            uint32_t b = BTN_LEFT;
            if (i + 1 < argc && button_code(argv[i + 1])) b = button_code(argv[++i]);
            BUTTON(b, !strcmp(c, "press") ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (!strcmp(c, "click") && i + 2 < argc) {
            MOVE(atoi(argv[i + 1]), atoi(argv[i + 2])); i += 2;
            BUTTON(BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
            BUTTON(BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (!strcmp(c, "drag") && i + 4 < argc) {
            int x1 = atoi(argv[i + 1]), y1 = atoi(argv[i + 2]), x2 = atoi(argv[i + 3]), y2 = atoi(argv[i + 4]);
            i += 4;
            MOVE(x1, y1);
            BUTTON(BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
            for (int s = 1; s <= 20; s++) {
                MOVE(x1 + (x2 - x1) * s / 20, y1 + (y2 - y1) * s / 20);
                usleep(5000);
            }
            BUTTON(BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (!strcmp(c, "sleep") && i + 1 < argc) {
            usleep(1000 * atoi(argv[++i]));
        } else {
            fprintf(stderr, "wayland-input: bad command at '%s'\n", c);
            return 2;
        }
    }
    zwlr_virtual_pointer_v1_destroy(p);
    wl_display_roundtrip(dpy);
    wl_display_disconnect(dpy);
    return 0;
}
