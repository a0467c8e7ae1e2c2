// The script read as the player reads it, line by line in the order the lines run, with what each
// line makes, names and loads followed through: every line the player would pass over in silence.
#pragma once

#include <string>
#include <vector>

#include "app/check/ResourceProbe.h"
#include "app/check/ShowCheck.h"

namespace glowmarch {

// `script` holds the bytes of "data/vesperscript.txt"; findings are added to `findings`, and with
// `named` the files the script names to it.
void checkScript(const std::string& script, ResourceProbe& probe, std::vector<Finding>& findings,
                 std::vector<NamedFile>* named = nullptr);

}  // namespace glowmarch
