// The keys the show reacts to, as a table indexed by Windows virtual-key codes fed from SDL's key events,
// and the restart the table asks for.
#pragma once

#include <SDL2/SDL_keyboard.h>

#include <array>

namespace glowmarch {

inline constexpr int virtualKeyEscape = 0x1B;
inline constexpr int virtualKeyF1 = 0x70;
inline constexpr int virtualKeyF5 = 0x74;

// Key-down flag per virtual-key code.
using KeyTable = std::array<bool, 256>;

// The virtual-key code of a key, or -1 when it has none. Keys the layout gives a symbol the table
// does not know (accented letters...) fall back to the key's position on a US keyboard.
int virtualKey(const SDL_Keysym& key);

// Alt, F10 and keys pressed with Alt (without Ctrl) are system keys: they never reach the table.
bool isSystemKey(const SDL_Keysym& key);

// Sets (down) or clears the key's flag; system keys and keys without a code leave the table alone.
void recordKey(KeyTable& keys, const SDL_Keysym& key, bool down);

enum class Restart { none, sameDisplay, otherDisplay };

// The restart F1 or F5 asks for; F1 wins when both are held. Both flags are cleared, so each
// key-down leads to one restart.
Restart takeRestart(KeyTable& keys);

}  // namespace glowmarch
