// What the edit mode keeps across reloads: which saves replace programs in place instead of building
// the show again, the context's state as it was made, and the message list after programs were
// replaced.
#pragma once

#include <set>
#include <string>

#include "app/edit/MessageLog.h"

namespace glowmarch {

// True when every changed path is a shader source: the show's state does not depend on a
// program's code, so its programs are replaced where it stands.
bool shadersOnly(const std::set<std::string>& changed);
// The source names ("main.frag") of the changed paths under "data/shaders/".
std::set<std::string> shaderSourceNames(const std::set<std::string>& changed);

// Takes out of the log the lines of `printed`, each at its first occurrence: what creating the
// programs printed before they were made again.
void forgetMessages(MessageLog& log, const std::string& printed);

// The GL state of the context as it was made, saved on the attribute stacks before the first show
// and put back before each new show, so a show built in a context that goes on starts from the
// state a new context has. The current context's.
class FreshGlState {
 public:
  void save();
  void restore();

 private:
  bool saved = false;
};

}  // namespace glowmarch
