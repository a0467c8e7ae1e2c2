// The shell's message boxes, shown through SDL. Where no box can be shown at all (no display),
// nobody could answer: a question counts as No and any other text goes to standard error.
#pragma once

#include <SDL2/SDL_messagebox.h>

namespace glowmarch {

enum class BoxIcon { none, question, exclamation, stop, information };

// A Yes/No box; true for Yes. Return answers Yes, Escape answers No.
bool askYesNo(const char* text, const char* caption, BoxIcon icon, SDL_Window* owner = nullptr);

// A box with an OK button.
void tell(const char* text, const char* caption, BoxIcon icon, SDL_Window* owner = nullptr);

// What shows a box; SDL_ShowMessageBox unless replaced (tests answer boxes with their own).
using BoxFunction = int (*)(const SDL_MessageBoxData* box, int* buttonId);
void setBoxFunction(BoxFunction function);

}  // namespace glowmarch
