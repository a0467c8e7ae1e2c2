#include "app/shell/MessageBox.h"

#include <SDL2/SDL_timer.h>

#include <cstdio>

namespace glowmarch {

namespace {

constexpr int yesButton = 6;  // IDYES
constexpr int noButton = 7;   // IDNO
constexpr int okButton = 1;   // IDOK

constexpr int boxAttempts = 3;

BoxFunction showBox = SDL_ShowMessageBox;

// A display server may refuse a connection now and then; a box nobody could see is tried again.
bool showWithRetries(const SDL_MessageBoxData& box, int& answer) {
  for (int attempt = 0; attempt < boxAttempts; ++attempt) {
    if (attempt > 0) SDL_Delay(20);
    if (showBox(&box, &answer) == 0) return true;
  }
  return false;
}

Uint32 iconFlags(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::stop: return SDL_MESSAGEBOX_ERROR;
    case BoxIcon::exclamation: return SDL_MESSAGEBOX_WARNING;
    case BoxIcon::question:
    case BoxIcon::information: return SDL_MESSAGEBOX_INFORMATION;
    case BoxIcon::none: break;
  }
  return 0;
}

}  // namespace

bool askYesNo(const char* text, const char* caption, BoxIcon icon, SDL_Window* owner) {
  const SDL_MessageBoxButtonData buttons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, yesButton, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, noButton, "No"},
  };
  const SDL_MessageBoxData box{iconFlags(icon) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT, owner, caption, text, 2,
                               buttons, nullptr};
  int answer = -1;
  if (!showWithRetries(box, answer)) return false;
  // A box closed without a button gives no Yes.
  return answer == yesButton;
}

void tell(const char* text, const char* caption, BoxIcon icon, SDL_Window* owner) {
  const SDL_MessageBoxButtonData button{
      SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, okButton, "OK"};
  const SDL_MessageBoxData box{iconFlags(icon), owner, caption, text, 1, &button, nullptr};
  int answer = -1;
  if (!showWithRetries(box, answer)) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
  }
}

void setBoxFunction(BoxFunction function) { showBox = function != nullptr ? function : SDL_ShowMessageBox; }

}  // namespace glowmarch
