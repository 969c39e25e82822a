// Which way synthetic input goes on Linux, decided here for every record:
// - a wlroots compositor's virtual pointer and keyboard (sway, Hyprland...),
// - else kwin's fake input (KDE Plasma),
// - else the desktop portal's remote desktop once the person granted it (GNOME),
// - else XTest, which reaches only the windows of X11 programs.
// The first three reach every window. A record goes one way as a whole, chosen
// once, except that a key or button goes up the way it went down: a press sent
// through XTest before the person granted the portal is released through
// XTest, or it would stay held.
#include <linux/input-event-codes.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "model/mouse_buttons.h"
#include "model/mouse_flags.h"
#include "platform/linux/kde/fake_input_output_linux.h"
#include "platform/linux/keys/keymap_linux.h"
#include "platform/linux/output_route_linux.h"
#include "platform/linux/portal/remote_desktop_linux.h"
#include "platform/linux/wayland/input_connection_linux.h"
#include "platform/linux/wayland/virtual_devices_linux.h"
#include "platform/linux/x11/xtest_output_linux.h"
#include "platform/platform.h"

namespace platform {
namespace {

namespace portal = remote_desktop_portal;

enum RouteId : uint8_t { kXTest, kWlroots, kKde, kPortal, kRouteCount };

struct Route {
    bool (*ready)();
    void (*moveAbsolute)(int32_t x, int32_t y);     // layout pixels
    void (*moveNormalised)(int32_t x, int32_t y);   // 0..65535 over the layout
    void (*moveRelative)(int32_t dx, int32_t dy);
    void (*button)(uint32_t code, bool down);       // Linux input event codes
    void (*wheel)(bool horizontal, int32_t steps);
    void (*endPointerFrame)();
    bool (*key)(uint32_t vk, bool down);
    // The key that types a keysym, with the modifiers its level needs.
    bool (*keysym)(uint32_t keysym, bool down);
};

// The compositors' devices press a key by its place on the person's
// keyboard (as XWayland's keymap, the person's, tells it), which they read
// with the person's layout; a key the keyboard lacks (and the pad's digits,
// whatever NumLock's state) by the keysym it types.
template <void (*keyAtPlace)(uint32_t, bool), bool (*keyOfKeysym)(uint32_t, bool)>
bool keyByPlace(uint32_t vk, bool down) {
    if (const uint32_t place = xtest_output::keyPlaceOf(vk)) {
        keyAtPlace(place, down);
        return true;
    }
    const keymap::Keysym keysym = keymap::keysymForVirtualKey(vk);
    return keysym != 0 && keyOfKeysym(uint32_t(keysym), down);
}

template <void (*moveAbsolute)(int32_t, int32_t)>
void moveNormalisedOverLayout(int32_t x, int32_t y) {
    int32_t layoutX = 0, layoutY = 0;
    wayland_input::normalisedToLayout(x, y, layoutX, layoutY);
    moveAbsolute(layoutX, layoutY);
}

std::atomic<output_route::PortalStandIn*> portalStandIn{nullptr};

bool portalReady() {
    const output_route::PortalStandIn* standIn = portalStandIn.load(std::memory_order_relaxed);
    return standIn ? standIn->granted.load() : portal::granted();
}

template <void (*send)(int32_t, int32_t)>
void portalOnly(int32_t x, int32_t y) {
    if (!portalStandIn.load(std::memory_order_relaxed)) send(x, y);
}

void portalWheel(bool horizontal, int32_t steps) {
    if (!portalStandIn.load(std::memory_order_relaxed)) portal::wheel(horizontal, steps);
}

void portalButton(uint32_t code, bool down) {
    output_route::PortalStandIn* standIn = portalStandIn.load(std::memory_order_relaxed);
    if (!standIn) return portal::button(code, down);
    ++(down ? standIn->buttonsDown : standIn->buttonsUp);
}

bool portalKey(uint32_t keysym, bool down) {
    output_route::PortalStandIn* standIn = portalStandIn.load(std::memory_order_relaxed);
    if (!standIn) portal::key(keysym, down);
    else ++(down ? standIn->keysDown : standIn->keysUp);
    return true;
}

void portalKeyAtPlace(uint32_t evdevCode, bool down) {
    output_route::PortalStandIn* standIn = portalStandIn.load(std::memory_order_relaxed);
    if (!standIn) portal::keyAtPlace(evdevCode, down);
    else ++(down ? standIn->keysDown : standIn->keysUp);
}

const Route kRoutes[kRouteCount] = {
    {xtest_output::ready, xtest_output::moveAbsolute, xtest_output::moveNormalised, xtest_output::moveRelative,
     xtest_output::button, xtest_output::wheel, xtest_output::endPointerFrame, xtest_output::key,
     [](uint32_t, bool) { return false; }},
    {wlroots_devices::ready, wlroots_devices::moveAbsolute, moveNormalisedOverLayout<wlroots_devices::moveAbsolute>,
     wlroots_devices::moveRelative, wlroots_devices::button, wlroots_devices::wheel,
     wlroots_devices::endPointerFrame, keyByPlace<wlroots_devices::keyAtPlace, wlroots_devices::key>,
     wlroots_devices::key},
    {kde_output::ready, kde_output::moveAbsolute, moveNormalisedOverLayout<kde_output::moveAbsolute>,
     kde_output::moveRelative, kde_output::button, kde_output::wheel, kde_output::endPointerFrame,
     keyByPlace<kde_output::keyAtPlace, kde_output::key>, kde_output::key},
    {portalReady, portalOnly<portal::moveAbsolute>, portalOnly<portal::moveNormalised>,
     portalOnly<portal::moveRelative>, portalButton, portalWheel, [] {}, keyByPlace<portalKeyAtPlace, portalKey>,
     portalKey},
};

const int32_t kWheelNotch = 120;
std::atomic<int32_t> wheelRest{0}, horizontalWheelRest{0};
// The route that pressed each key (by virtual-key code) and button (from
// BTN_LEFT on), plus one; 0 while it is up.
std::atomic<uint8_t> keyPressedBy[256];
std::atomic<uint8_t> buttonPressedBy[8];

RouteId routeNow() {
    static const bool started = (output_route::start(), true);
    (void)started;
    if (wlroots_devices::ready()) return kWlroots;
    if (kde_output::ready()) return kKde;
    if (portalReady()) return kPortal;
    return kXTest;
}

// The route of a press is remembered; a release takes it, unless that route
// has gone (the compositor, or the portal's session, ended and let go of
// what it held).
bool routeOfEdge(std::atomic<uint8_t>& pressedBy, bool down, RouteId now, RouteId& route) {
    route = now;
    if (down) {
        pressedBy = uint8_t(now + 1);
        return true;
    }
    const uint8_t pressed = pressedBy.exchange(0);
    if (pressed == 0 || pressed - 1 == now) return true;
    route = RouteId(pressed - 1);
    return kRoutes[route].ready();
}

// One notch is 120; finer deltas add up until they make a notch, so the
// total turn is never lost. Returns the whole notches to turn now.
int32_t wheelNotches(std::atomic<int32_t>& rest, int32_t delta) {
    // 64-bit: a rest near a notch plus a delta near the 32-bit limit must not wrap.
    const int64_t total = int64_t(rest.exchange(0)) + delta;
    rest.fetch_add(int32_t(total % kWheelNotch));
    return int32_t(total / kWheelNotch);
}

struct ButtonEdge {
    uint32_t flag;
    uint32_t code;
    bool down;
};

void sendButtonEdges(RouteId now, uint32_t mouseData, uint32_t flags) {
    namespace mf = mouse_flags;
    const uint32_t side = mouseData == 2 ? BTN_EXTRA : BTN_SIDE;
    const ButtonEdge edges[] = {{mf::LeftDown, BTN_LEFT, true},     {mf::LeftUp, BTN_LEFT, false},
                                {mf::RightDown, BTN_RIGHT, true},   {mf::RightUp, BTN_RIGHT, false},
                                {mf::MiddleDown, BTN_MIDDLE, true}, {mf::MiddleUp, BTN_MIDDLE, false},
                                {mf::XDown, side, true},            {mf::XUp, side, false}};
    for (const ButtonEdge& edge : edges) {
        if (!(flags & edge.flag)) continue;
        RouteId route;
        if (!routeOfEdge(buttonPressedBy[edge.code - BTN_LEFT], edge.down, now, route)) continue;
        kRoutes[route].button(edge.code, edge.down);
        if (route != now) kRoutes[route].endPointerFrame();
    }
}

}  // namespace

namespace {

void chooseRoute() {
    if (!wayland_input::connect()) return;
    const bool offered = wlroots_devices::open() || kde_output::open();
    if (offered && wayland_input::startReading()) return;
    wayland_input::disconnect();
    // Until the person answers the desktop's dialog, and if they refuse,
    // input goes through XTest.
    if (!offered) portal::ask();
}

}  // namespace

// Every caller waits for the first to finish: the pipe may start an engine
// while the capture thread is still making the compositor's devices, and
// its first clicks would otherwise leave through XTest, reaching no Wayland
// window.
void output_route::start() {
    static std::once_flag chosen;
    std::call_once(chosen, chooseRoute);
}

void output_route::standInForPortal(PortalStandIn* standIn) { portalStandIn = standIn; }

void moveCursorAbsolute(int32_t x, int32_t y) {
    const Route& route = kRoutes[routeNow()];
    route.moveAbsolute(x, y);
    route.endPointerFrame();
}

uint32_t sendMouseInput(int32_t dx, int32_t dy, uint32_t mouseData, uint32_t flags) {
    namespace mf = mouse_flags;
    const RouteId now = routeNow();
    const Route& route = kRoutes[now];
    if (!route.ready()) return 0;
    if (flags & mf::Move) {
        if (flags & mf::AbsolutePosition) route.moveNormalised(dx, dy);
        else route.moveRelative(dx, dy);
    }
    sendButtonEdges(now, mouseData, flags);
    if (flags & mf::Wheel) route.wheel(false, wheelNotches(wheelRest, int32_t(mouseData)));
    if (flags & mf::HWheel) route.wheel(true, wheelNotches(horizontalWheelRest, int32_t(mouseData)));
    route.endPointerFrame();
    return 1;
}

uint32_t sendKeyEvent(uint32_t vk, bool down) {
    RouteId route;
    if (vk > 255 || vk == uint32_t(kKeyWithoutCode) || !routeOfEdge(keyPressedBy[vk], down, routeNow(), route)) return 0;
    return kRoutes[route].key(vk, down) ? 1 : 0;
}

// XTest finds the key and level itself and lends a spare keycode to the
// rest; the compositors' devices and the portal are handed the keysym,
// which they type with the person's layout where it has that keysym (the
// wlroots keyboard lends an empty key of its keymap to the rest).
uint32_t typeCharacter(char32_t character) {
    const RouteId now = routeNow();
    if (now == kXTest) return xtest_output::typeCharacter(character) ? 1 : 0;
    const uint32_t keysym = uint32_t(xtest_output::keysymOfCharacter(character));
    if (keysym == 0 || !kRoutes[now].keysym(keysym, true)) return 0;
    kRoutes[now].keysym(keysym, false);
    return 1;
}

// Scan codes are a Windows keyboard's; here the virtual key names the key.
uint32_t sendKeyWithScan(uint32_t vk, uint32_t, bool down) { return sendKeyEvent(vk, down); }

// The X server's own record sees every release the watch sees, and none it
// misses; the watch's tracking stands.
KeyState keyStateNow(int32_t) { return KeyState::Unknown; }

bool inputGoesThroughCompositor() { return routeNow() != kXTest; }

InputPermission inputPermission() { return portal::permission(); }

void finishProcess() { xtest_output::returnLentKeycodes(); }

}  // namespace platform
