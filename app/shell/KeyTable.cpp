#include "app/shell/KeyTable.h"

namespace glowmarch {

namespace {

struct KeyCode {
  SDL_Keycode key;
  int code;
};

// Keys whose code does not follow from a contiguous range below.
constexpr KeyCode namedKeys[] = {
    {SDLK_BACKSPACE, 0x08},    {SDLK_TAB, 0x09},          {SDLK_CLEAR, 0x0C},
    {SDLK_RETURN, 0x0D},       {SDLK_KP_ENTER, 0x0D},     {SDLK_LSHIFT, 0x10},
    {SDLK_RSHIFT, 0x10},       {SDLK_LCTRL, 0x11},        {SDLK_RCTRL, 0x11},
    {SDLK_LALT, 0x12},         {SDLK_RALT, 0x12},         {SDLK_PAUSE, 0x13},
    {SDLK_CAPSLOCK, 0x14},     {SDLK_ESCAPE, 0x1B},       {SDLK_SPACE, 0x20},
    {SDLK_PAGEUP, 0x21},       {SDLK_PAGEDOWN, 0x22},     {SDLK_END, 0x23},
    {SDLK_HOME, 0x24},         {SDLK_LEFT, 0x25},         {SDLK_UP, 0x26},
    {SDLK_RIGHT, 0x27},        {SDLK_DOWN, 0x28},         {SDLK_SELECT, 0x29},
    {SDLK_EXECUTE, 0x2B},      {SDLK_PRINTSCREEN, 0x2C},  {SDLK_INSERT, 0x2D},
    {SDLK_DELETE, 0x2E},       {SDLK_HELP, 0x2F},         {SDLK_LGUI, 0x5B},
    {SDLK_RGUI, 0x5C},         {SDLK_APPLICATION, 0x5D},  {SDLK_SLEEP, 0x5F},
    {SDLK_KP_0, 0x60},         {SDLK_KP_MULTIPLY, 0x6A},  {SDLK_KP_PLUS, 0x6B},
    {SDLK_KP_MINUS, 0x6D},     {SDLK_KP_PERIOD, 0x6E},    {SDLK_KP_DECIMAL, 0x6E},
    {SDLK_KP_DIVIDE, 0x6F},    {SDLK_NUMLOCKCLEAR, 0x90}, {SDLK_SCROLLLOCK, 0x91},
    {SDLK_AC_BACK, 0xA6},      {SDLK_AC_FORWARD, 0xA7},   {SDLK_AC_REFRESH, 0xA8},
    {SDLK_AC_STOP, 0xA9},      {SDLK_AC_SEARCH, 0xAA},    {SDLK_AC_BOOKMARKS, 0xAB},
    {SDLK_AC_HOME, 0xAC},      {SDLK_MUTE, 0xAD},         {SDLK_VOLUMEDOWN, 0xAE},
    {SDLK_VOLUMEUP, 0xAF},     {SDLK_AUDIONEXT, 0xB0},    {SDLK_AUDIOPREV, 0xB1},
    {SDLK_AUDIOSTOP, 0xB2},    {SDLK_AUDIOPLAY, 0xB3},    {SDLK_MAIL, 0xB4},
    {SDLK_MEDIASELECT, 0xB5},  {SDLK_SEMICOLON, 0xBA},    {SDLK_EQUALS, 0xBB},
    {SDLK_PLUS, 0xBB},         {SDLK_COMMA, 0xBC},        {SDLK_MINUS, 0xBD},
    {SDLK_PERIOD, 0xBE},       {SDLK_SLASH, 0xBF},        {SDLK_BACKQUOTE, 0xC0},
    {SDLK_LEFTBRACKET, 0xDB},  {SDLK_BACKSLASH, 0xDC},    {SDLK_RIGHTBRACKET, 0xDD},
    {SDLK_QUOTE, 0xDE},        {SDLK_CRSEL, 0xF7},        {SDLK_EXSEL, 0xF8},
};

int codeOfSymbol(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + (key - SDLK_F1);
  if (key >= SDLK_F13 && key <= SDLK_F24) return 0x7C + (key - SDLK_F13);
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 0x61 + (key - SDLK_KP_1);
  for (const KeyCode& entry : namedKeys) {
    if (entry.key == key) return entry.code;
  }
  return -1;
}

}  // namespace

int virtualKey(const SDL_Keysym& key) {
  const int code = codeOfSymbol(key.sym);
  if (code >= 0) return code;
  // Windows names a key by its position when the layout's symbol has no code of its own.
  const SDL_Scancode scancode = key.scancode;
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
  switch (scancode) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_MINUS: return 0xBD;
    case SDL_SCANCODE_EQUALS: return 0xBB;
    case SDL_SCANCODE_LEFTBRACKET: return 0xDB;
    case SDL_SCANCODE_RIGHTBRACKET: return 0xDD;
    case SDL_SCANCODE_BACKSLASH: return 0xDC;
    case SDL_SCANCODE_SEMICOLON: return 0xBA;
    case SDL_SCANCODE_APOSTROPHE: return 0xDE;
    case SDL_SCANCODE_GRAVE: return 0xC0;
    case SDL_SCANCODE_COMMA: return 0xBC;
    case SDL_SCANCODE_PERIOD: return 0xBE;
    case SDL_SCANCODE_SLASH: return 0xBF;
    case SDL_SCANCODE_NONUSBACKSLASH: return 0xE2;
    default: return -1;
  }
}

bool isSystemKey(const SDL_Keysym& key) {
  if (key.sym == SDLK_LALT || key.sym == SDLK_RALT || key.sym == SDLK_F10) return true;
  // Ctrl with Alt (AltGr on many layouts) types ordinary keys.
  return (key.mod & KMOD_ALT) != 0 && (key.mod & KMOD_CTRL) == 0;
}

void KeyTable::press(int code) {
  held[index(code)] = true;
  tapped[index(code)] = true;
}

void KeyTable::release(int code) { held[index(code)] = false; }

void KeyTable::clear(int code) {
  held[index(code)] = false;
  tapped[index(code)] = false;
}

void KeyTable::settle() { tapped.fill(false); }

void recordKey(KeyTable& keys, const SDL_Keysym& key, bool down) {
  if (isSystemKey(key)) return;
  const int code = virtualKey(key);
  if (code < 0 || code > 255) return;
  if (down) {
    keys.press(code);
  } else {
    keys.release(code);
  }
}

Restart takeRestart(KeyTable& keys) {
  const bool f1 = keys[virtualKeyF1];
  const bool f5 = keys[virtualKeyF5];
  if (!f1 && !f5) return Restart::none;
  keys.clear(virtualKeyF1);
  keys.clear(virtualKeyF5);
  return f1 ? Restart::otherDisplay : Restart::sameDisplay;
}

}  // namespace glowmarch
