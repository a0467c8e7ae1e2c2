// What an interrupted capture (SIGINT, SIGTERM, SIGHUP) removes before it ends as the signal asks: its
// temporary files (POSIX signal handlers, in InterruptionsPosix.cpp). Its encoder dies with it.
#pragma once

#include <string>

namespace glowmarch::interruptions {

// Installs the handlers once; a signal someone asked to ignore (nohup) stays ignored.
void watch();
// Enters a path to remove on interruption: a slot to release once the file is gone or renamed, or -1
// when none is free (the file is then left behind by an interruption).
int claimSlot(const std::string& path);
void releaseSlot(int slot);

}  // namespace glowmarch::interruptions
