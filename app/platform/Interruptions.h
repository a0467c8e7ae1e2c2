// What an interrupted capture removes before it ends as the interruption asks: its temporary files
// (POSIX: SIGINT, SIGTERM and SIGHUP, in InterruptionsPosix.cpp; Windows: Ctrl+C, Ctrl+Break and the
// console closing, in InterruptionsWindows.cpp). Its encoder dies with it.
#pragma once

#include <string>

namespace glowmarch::interruptions {

// Installs the handlers once; an interruption someone asked to ignore (nohup) stays ignored.
void watch();
// Enters a path to remove on interruption: a slot to release once the file is gone or renamed, or -1
// when none is free (the file is then left behind by an interruption).
int claimSlot(const std::string& path);
void releaseSlot(int slot);

// For the system's handler: calls `remove` with each path entered, taking no lock and no memory.
void forEachClaimed(void (*remove)(const char* path));

// Where a handler runs beside the program's threads (Windows): from now on a claim never returns,
// so no thread makes a new file while the handler removes those entered.
void holdClaims();
// What still writes those files, ended by such a handler before it removes them: Windows cannot
// remove a file another process (the encoder) holds open.
void endWritersWith(void (*end)());
void endWriters();

}  // namespace glowmarch::interruptions
