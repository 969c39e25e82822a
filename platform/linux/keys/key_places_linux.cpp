#include "platform/linux/keys/key_places_linux.h"

#include <X11/keysym.h>
#include <linux/input-event-codes.h>

#include <iterator>

#include "platform/linux/keys/keysym_vk_linux.h"

namespace key_places {
namespace {

struct Place {
    uint16_t evdevCode;
    uint8_t code;
};

// Ordered by place. The letters and digits are filled in by usCodeOfPlace.
constexpr Place kPlaces[] = {
    {KEY_ESC, 0x1B},        {KEY_MINUS, 0xBD},       {KEY_EQUAL, 0xBB},       {KEY_BACKSPACE, 0x08},
    {KEY_TAB, 0x09},        {KEY_LEFTBRACE, 0xDB},   {KEY_RIGHTBRACE, 0xDD},  {KEY_ENTER, 0x0D},
    {KEY_LEFTCTRL, 0xA2},   {KEY_SEMICOLON, 0xBA},   {KEY_APOSTROPHE, 0xDE},  {KEY_GRAVE, 0xC0},
    {KEY_LEFTSHIFT, 0xA0},  {KEY_BACKSLASH, 0xDC},   {KEY_COMMA, 0xBC},       {KEY_DOT, 0xBE},
    {KEY_SLASH, 0xBF},      {KEY_RIGHTSHIFT, 0xA1},  {KEY_KPASTERISK, 0x6A},  {KEY_LEFTALT, 0xA4},
    {KEY_SPACE, 0x20},      {KEY_CAPSLOCK, 0x14},    {KEY_NUMLOCK, 0x90},     {KEY_SCROLLLOCK, 0x91},
    {KEY_KP7, 0x67},        {KEY_KP8, 0x68},         {KEY_KP9, 0x69},         {KEY_KPMINUS, 0x6D},
    {KEY_KP4, 0x64},        {KEY_KP5, 0x65},         {KEY_KP6, 0x66},         {KEY_KPPLUS, 0x6B},
    {KEY_KP1, 0x61},        {KEY_KP2, 0x62},         {KEY_KP3, 0x63},         {KEY_KP0, 0x60},
    {KEY_KPDOT, 0x6E},      {KEY_102ND, 0xE2},       {KEY_F11, 0x7A},         {KEY_F12, 0x7B},
    {KEY_HENKAN, 0x1C},     {KEY_MUHENKAN, 0x1D},    {KEY_RIGHTCTRL, 0xA3},   {KEY_KPSLASH, 0x6F},
    {KEY_SYSRQ, 0x2C},      {KEY_RIGHTALT, 0xA5},    {KEY_HOME, 0x24},        {KEY_UP, 0x26},
    {KEY_PAGEUP, 0x21},     {KEY_LEFT, 0x25},        {KEY_RIGHT, 0x27},       {KEY_END, 0x23},
    {KEY_DOWN, 0x28},       {KEY_PAGEDOWN, 0x22},    {KEY_INSERT, 0x2D},      {KEY_DELETE, 0x2E},
    {KEY_MUTE, 0xAD},       {KEY_VOLUMEDOWN, 0xAE},  {KEY_VOLUMEUP, 0xAF},    {KEY_PAUSE, 0x13},
    {KEY_KPCOMMA, 0x6C},    {KEY_HANGEUL, 0x15},     {KEY_HANJA, 0x19},       {KEY_LEFTMETA, 0x5B},
    {KEY_RIGHTMETA, 0x5C},  {KEY_COMPOSE, 0x5D},     {KEY_STOP, 0xA9},        {KEY_CALC, 0xB7},
    {KEY_SLEEP, 0x5F},      {KEY_MAIL, 0xB4},        {KEY_BOOKMARKS, 0xAB},   {KEY_COMPUTER, 0xB6},
    {KEY_BACK, 0xA6},       {KEY_FORWARD, 0xA7},     {KEY_NEXTSONG, 0xB0},    {KEY_PLAYPAUSE, 0xB3},
    {KEY_PREVIOUSSONG, 0xB1}, {KEY_STOPCD, 0xB2},    {KEY_HOMEPAGE, 0xAC},    {KEY_REFRESH, 0xA8},
    {KEY_SEARCH, 0xAA},     {KEY_MEDIA, 0xB5},       {KEY_KPENTER, 0x0D},
};

constexpr uint16_t kLetterRows[] = {KEY_Q, KEY_W, KEY_E, KEY_R, KEY_T, KEY_Y, KEY_U, KEY_I, KEY_O,
                                    KEY_P, KEY_A, KEY_S, KEY_D, KEY_F, KEY_G, KEY_H, KEY_J, KEY_K,
                                    KEY_L, KEY_Z, KEY_X, KEY_C, KEY_V, KEY_B, KEY_N, KEY_M};
constexpr char kLettersOfRows[] = "QWERTYUIOPASDFGHJKLZXCVBNM";

bool isLetter(int32_t code) { return code >= 'A' && code <= 'Z'; }
// The keys a layout may put letters and punctuation on: the letter block,
// the punctuation keys and the key left of Z, not the digit row.
bool typesText(int32_t placeCode) {
    return isLetter(placeCode) || (placeCode >= 0xBA && placeCode <= 0xC0) ||
           (placeCode >= 0xDB && placeCode <= 0xDE) || placeCode == 0xE2;
}

// The keys named by their place (or, in the typing block, their character):
// the typing block and the numeric pad.
bool byPlace(int32_t placeCode) {
    return typesText(placeCode) || (placeCode >= '0' && placeCode <= '9') || (placeCode >= 0x60 && placeCode <= 0x6F);
}

// The code a key takes by what it types, 0 when it takes its place's.
int32_t codeByCharacter(int32_t placeCode, unsigned long keysym) {
    if (!typesText(placeCode)) return 0;
    if (keysym >= XK_a && keysym <= XK_z) return int32_t('A' + (keysym - XK_a));
    if (keysym >= XK_A && keysym <= XK_Z) return int32_t('A' + (keysym - XK_A));
    switch (keysym) {
    case XK_plus: return 0xBB;
    case XK_comma: return 0xBC;
    case XK_minus: return 0xBD;
    case XK_period: return 0xBE;
    default: return 0;
    }
}

}  // namespace

int32_t usCodeOfPlace(uint32_t evdevCode) {
    if (evdevCode >= KEY_1 && evdevCode <= KEY_9) return int32_t('1' + (evdevCode - KEY_1));
    if (evdevCode == KEY_0) return '0';
    if (evdevCode >= KEY_F1 && evdevCode <= KEY_F10) return int32_t(0x70 + (evdevCode - KEY_F1));
    if (evdevCode >= KEY_F13 && evdevCode <= KEY_F24) return int32_t(0x7C + (evdevCode - KEY_F13));
    for (size_t i = 0; i < std::size(kLetterRows); ++i)
        if (kLetterRows[i] == evdevCode) return kLettersOfRows[i];
    for (const Place& place : kPlaces)
        if (place.evdevCode == evdevCode) return place.code;
    return 0;
}

void codesOfKeycodes(const unsigned long (&firstLevelKeysym)[kKeycodes], int32_t (&codeOfKeycode)[kKeycodes]) {
    int32_t placeOf[kKeycodes] = {};
    int claimedBy[256];  // the keycode that took a code by its character; -1: none
    for (int& keycode : claimedBy) keycode = -1;
    for (int keycode = kEvdevOffset; keycode < kKeycodes; ++keycode) {
        codeOfKeycode[keycode] = 0;
        placeOf[keycode] = usCodeOfPlace(uint32_t(keycode) - kEvdevOffset);
        const int32_t code = codeByCharacter(placeOf[keycode], firstLevelKeysym[keycode]);
        // Two keys typing one character: the one in that character's own place wins, else the first.
        if (code == 0 || (claimedBy[code] >= 0 && placeOf[keycode] != code)) continue;
        if (claimedBy[code] >= 0) codeOfKeycode[claimedBy[code]] = 0;
        claimedBy[code] = keycode;
        codeOfKeycode[keycode] = code;
    }
    // The rest of the typing keys and the pad by place; a place whose code
    // went to a character takes the place code of the key that took it,
    // following the chain to a free one (each step leads to a different key's
    // place, so chains never meet). Two places of one code (Enter and the
    // pad's Enter) share it, as on Windows.
    for (int keycode = kEvdevOffset; keycode < kKeycodes; ++keycode) {
        if (codeOfKeycode[keycode] != 0 || !byPlace(placeOf[keycode]) || firstLevelKeysym[keycode] == 0) continue;
        int32_t code = placeOf[keycode];
        for (int step = 0; step < kKeycodes && claimedBy[code] >= 0; ++step) code = placeOf[claimedBy[code]];
        if (claimedBy[code] >= 0) continue;
        codeOfKeycode[keycode] = code;
    }
    // The other keys (function, editing and media keys, modifiers) by what
    // they type, as a remapped key is meant (Caps Lock made Escape), else by
    // place; a key that types nothing is no key of this layout.
    for (int keycode = kEvdevOffset; keycode < kKeycodes; ++keycode) {
        if (codeOfKeycode[keycode] != 0 || byPlace(placeOf[keycode]) || firstLevelKeysym[keycode] == 0) continue;
        const int32_t code = virtualKeyForKeysym(firstLevelKeysym[keycode]);
        codeOfKeycode[keycode] = code > 0 && code < 256 ? code : placeOf[keycode];
    }
}

}  // namespace key_places
