#include "app/release/ReleaseReadme.h"

namespace glowmarch {

namespace {

std::string linuxReadme(const std::string& name) {
  return name + ", a real-time demo played by Glowmarch.\n"
         "\n"
         "Start: ./" + name + " (or double-click it). It plays the show in the folder it sits in, whatever folder\n"
         "it is started from. It asks \"Would You Like to Run in FullScreen mode?\": Return (Yes) plays it full\n"
         "screen, Escape (No) in a 1920 x 1080 window.\n"
         "\n"
         "Keys: Escape ends the show, F5 plays it again from the start, F1 does the same switching between\n"
         "full screen and a window. The show also ends by itself at its end.\n"
         "\n"
         "The machine needs: Linux on x86-64 with glibc 2.35 or newer and the system's OpenGL driver (libGL,\n"
         "with libX11 and libXext) giving OpenGL 3.3 in the compatibility profile. It plays on X11 and on\n"
         "Wayland, with its sound through PipeWire, PulseAudio or ALSA, whichever the machine has. Every other\n"
         "library is in lib/, found from the player's own folder.\n"
         "\n"
         "Files: " + name + " (the player), lib/ (its libraries), data/ (the show), README.txt (this).\n";
}

std::string windowsReadme(const std::string& name) {
  const std::string text =
      name + ", a real-time demo played by Glowmarch.\n"
      "\n"
      "Start: " + name + ".exe (double-click it). It plays the show in the folder it sits in, whatever folder it\n"
      "is started from. It asks \"Would You Like to Run in FullScreen mode?\": Yes plays it full screen, No\n"
      "in a 1920 x 1080 window.\n"
      "\n"
      "Keys: Escape or Alt+F4 ends the show, F5 plays it again from the start, F1 does the same switching\n"
      "between full screen and a window. The show also ends by itself at its end.\n"
      "\n"
      "The machine needs: Windows 10 or 11 (x64) and a graphics driver with OpenGL 3.3 (compatibility\n"
      "profile). Every library it needs is beside " + name + ".exe.\n"
      "\n"
      "Files: " + name + ".exe (the player), its DLLs, data/ (the show), README.txt (this).\n";
  // Line ends Notepad shows as such.
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return crlf;
}

}  // namespace

std::string releaseReadme(const RuntimeSystem& system, const std::string& name) {
  return &system == &windowsRuntime ? windowsReadme(name) : linuxReadme(name);
}

}  // namespace glowmarch
