// What an interrupted capture (SIGINT, SIGTERM, SIGHUP) removes and kills before it ends as the signal
// asks: its temporary files and its encoder (POSIX signal handlers, in InterruptionsPosix.cpp).
#pragma once

#include <sys/types.h>

#include <string>

namespace glowmarch::interruptions {

// Installs the handlers once; a signal someone asked to ignore (nohup) stays ignored.
void watch();
// Enters a path to remove on interruption: a slot to release once the file is gone or renamed, or -1
// when none is free (the file is then left behind by an interruption).
int claimSlot(const std::string& path);
void releaseSlot(int slot);
// The process to kill on interruption; -1 for none.
void setRunningProcess(pid_t process);

}  // namespace glowmarch::interruptions
