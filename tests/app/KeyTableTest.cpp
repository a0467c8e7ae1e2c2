// Key translation to virtual-key codes, which keys reach the table, and the restart the table asks for.
#include <gtest/gtest.h>

#include "app/shell/KeyTable.h"

namespace glowmarch {
namespace {

SDL_Keysym key(SDL_Keycode symbol, SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN, Uint16 modifiers = KMOD_NONE) {
  SDL_Keysym keysym{};
  keysym.sym = symbol;
  keysym.scancode = scancode;
  keysym.mod = modifiers;
  return keysym;
}

TEST(KeyTranslation, ShowKeysGetTheirWindowsCodes) {
  EXPECT_EQ(virtualKey(key(SDLK_ESCAPE)), 0x1B);
  EXPECT_EQ(virtualKey(key(SDLK_F1)), 0x70);
  EXPECT_EQ(virtualKey(key(SDLK_F5)), 0x74);
  EXPECT_EQ(virtualKey(key(SDLK_F12)), 0x7B);
  EXPECT_EQ(virtualKey(key(SDLK_F13)), 0x7C);
  EXPECT_EQ(virtualKey(key(SDLK_F24)), 0x87);
}

TEST(KeyTranslation, LettersDigitsKeypadAndPunctuationFollowTheWindowsTable) {
  EXPECT_EQ(virtualKey(key(SDLK_a)), 'A');
  EXPECT_EQ(virtualKey(key(SDLK_z)), 'Z');
  EXPECT_EQ(virtualKey(key(SDLK_0)), '0');
  EXPECT_EQ(virtualKey(key(SDLK_9)), '9');
  EXPECT_EQ(virtualKey(key(SDLK_KP_0)), 0x60);
  EXPECT_EQ(virtualKey(key(SDLK_KP_1)), 0x61);
  EXPECT_EQ(virtualKey(key(SDLK_KP_9)), 0x69);
  EXPECT_EQ(virtualKey(key(SDLK_KP_MULTIPLY)), 0x6A);
  EXPECT_EQ(virtualKey(key(SDLK_KP_DIVIDE)), 0x6F);
  EXPECT_EQ(virtualKey(key(SDLK_RETURN)), 0x0D);
  EXPECT_EQ(virtualKey(key(SDLK_KP_ENTER)), 0x0D);
  EXPECT_EQ(virtualKey(key(SDLK_SPACE)), 0x20);
  EXPECT_EQ(virtualKey(key(SDLK_LEFT)), 0x25);
  EXPECT_EQ(virtualKey(key(SDLK_DOWN)), 0x28);
  EXPECT_EQ(virtualKey(key(SDLK_LSHIFT)), 0x10);
  EXPECT_EQ(virtualKey(key(SDLK_RSHIFT)), 0x10);
  EXPECT_EQ(virtualKey(key(SDLK_RCTRL)), 0x11);
  EXPECT_EQ(virtualKey(key(SDLK_SEMICOLON)), 0xBA);
  EXPECT_EQ(virtualKey(key(SDLK_SLASH)), 0xBF);
  EXPECT_EQ(virtualKey(key(SDLK_QUOTE)), 0xDE);
}

TEST(KeyTranslation, LayoutSymbolsWithoutACodeFallBackToTheKeyPosition) {
  // An 'é' on the key that carries '2' on a US keyboard, a 'ü' on the '[' key.
  EXPECT_EQ(virtualKey(key(0xE9, SDL_SCANCODE_2)), '2');
  EXPECT_EQ(virtualKey(key(0xFC, SDL_SCANCODE_LEFTBRACKET)), 0xDB);
  EXPECT_EQ(virtualKey(key(0xE9, SDL_SCANCODE_Q)), 'Q');
  EXPECT_EQ(virtualKey(key(SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN)), -1);
  EXPECT_EQ(virtualKey(key(SDLK_APP1, SDL_SCANCODE_APP1)), -1);
}

bool anyKeyDown(const KeyTable& keys) {
  for (int code = 0; code < 256; ++code) {
    if (keys[code]) return true;
  }
  return false;
}

TEST(KeyTable, AKeyIsDownWhileHeldAndSystemKeysNeverReachTheTable) {
  KeyTable keys;
  recordKey(keys, key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE), true);
  keys.settle();
  EXPECT_TRUE(keys[0x1B]) << "held keys stay down after the loop looked";
  recordKey(keys, key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE), false);
  EXPECT_FALSE(keys[0x1B]);

  recordKey(keys, key(SDLK_F10, SDL_SCANCODE_F10), true);
  recordKey(keys, key(SDLK_LALT, SDL_SCANCODE_LALT), true);
  recordKey(keys, key(SDLK_F5, SDL_SCANCODE_F5, KMOD_LALT), true);
  recordKey(keys, key(SDLK_a, SDL_SCANCODE_A, KMOD_RALT), true);
  recordKey(keys, key(SDLK_UNKNOWN), true);
  EXPECT_FALSE(anyKeyDown(keys)) << "Alt, F10, Alt combinations and keys without a code";

  // Ctrl+Alt (AltGr) types ordinary keys.
  recordKey(keys, key(SDLK_a, SDL_SCANCODE_A, KMOD_RALT | KMOD_LCTRL), true);
  EXPECT_TRUE(keys['A']);
}

TEST(KeyTable, ATapReleasedBeforeTheLoopLooksCountsOnceThenIsOver) {
  KeyTable keys;
  recordKey(keys, key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE), true);
  recordKey(keys, key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE), false);
  EXPECT_TRUE(keys[0x1B]) << "pressed and released within one drain of the queue";
  keys.settle();
  EXPECT_FALSE(keys[0x1B]);

  // A key released in another window stays held until its key-up reaches this one.
  recordKey(keys, key(SDLK_SPACE, SDL_SCANCODE_SPACE), true);
  keys.settle();
  keys.settle();
  EXPECT_TRUE(keys[0x20]);
}

TEST(RestartKeys, F5KeepsTheDisplayF1SwitchesItAndEachKeyDownRestartsOnce) {
  KeyTable keys;
  keys.press(0x1B);
  EXPECT_EQ(takeRestart(keys), Restart::none);

  keys.press(virtualKeyF5);
  EXPECT_EQ(takeRestart(keys), Restart::sameDisplay);
  EXPECT_FALSE(keys[virtualKeyF5]);
  EXPECT_EQ(takeRestart(keys), Restart::none) << "a held key restarts once per key-down";

  // A tap: pressed and released before the loop looked.
  keys.press(virtualKeyF5);
  keys.release(virtualKeyF5);
  EXPECT_EQ(takeRestart(keys), Restart::sameDisplay);
  EXPECT_EQ(takeRestart(keys), Restart::none);

  keys.press(virtualKeyF1);
  EXPECT_EQ(takeRestart(keys), Restart::otherDisplay);
  EXPECT_FALSE(keys[virtualKeyF1]);

  keys.press(virtualKeyF1);
  keys.press(virtualKeyF5);
  EXPECT_EQ(takeRestart(keys), Restart::otherDisplay);
  EXPECT_FALSE(keys[virtualKeyF1]);
  EXPECT_FALSE(keys[virtualKeyF5]);
  EXPECT_TRUE(keys[0x1B]) << "other keys are left as they are";
}

}  // namespace
}  // namespace glowmarch
