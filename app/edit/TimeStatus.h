// The first line of the edit mode's status box: where the show stands, in how long a show, and
// whether it plays.
#pragma once

#include <string>

namespace glowmarch {

// "  12.000 s of 79.000 s   playing". A show without an end of its own (no music, no line after 0: it
// runs on the wall clock as long as it is let) gives no length: "   8.782 s   playing". The bar and
// beat, when the music has a beat there, stand beside the time: "  12.000 s  7.1  of 79.000 s   playing".
std::string timeStatus(double seconds, double length, bool paused, bool atEnd, const std::string& barBeat = {});

}  // namespace glowmarch
