// The keys the show reacts to, as a table indexed by Windows virtual-key codes fed from SDL's key events,
// and the restart the table asks for.
#pragma once

#include <SDL2/SDL_keyboard.h>

#include <array>
#include <cstddef>

namespace glowmarch {

inline constexpr int virtualKeyEscape = 0x1B;
inline constexpr int virtualKeyF1 = 0x70;
inline constexpr int virtualKeyF5 = 0x74;

// Key-down flags per virtual-key code. A key counts as down while held, and also when it was pressed
// and released again before the loop looked: the loop drains every pending event before it looks, and
// a tap shorter than a slow frame would otherwise never be seen.
class KeyTable {
 public:
  bool operator[](int code) const { return held[index(code)] || tapped[index(code)]; }
  void press(int code);
  void release(int code);
  // Forgets a key, held or tapped.
  void clear(int code);
  // The loop has looked at the table: taps it saw (or ignored) are over.
  void settle();

 private:
  static std::size_t index(int code) { return static_cast<std::size_t>(code); }
  std::array<bool, 256> held{};
  std::array<bool, 256> tapped{};
};

// The virtual-key code of a key, or -1 when it has none. Keys the layout gives a symbol the table
// does not know (accented letters...) fall back to the key's position on a US keyboard.
int virtualKey(const SDL_Keysym& key);

// Alt, F10 and keys pressed with Alt (without Ctrl) are system keys: they never reach the table.
bool isSystemKey(const SDL_Keysym& key);

// Presses (down) or releases the key; system keys and keys without a code leave the table alone.
void recordKey(KeyTable& keys, const SDL_Keysym& key, bool down);

enum class Restart { none, sameDisplay, otherDisplay };

// The restart F1 or F5 asks for; F1 wins when both are held. Both flags are cleared, so each
// key-down leads to one restart.
Restart takeRestart(KeyTable& keys);

}  // namespace glowmarch
