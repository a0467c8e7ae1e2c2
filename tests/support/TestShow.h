// Helpers shared by the tests: a GL fixture, a clean show state, a scratch working folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "tests/support/GlContext.h"

namespace glowmarch::testing {

// Empties every process-wide registry and per-frame value, as at the start of the process.
void resetShow();

// One context per test program, made on first use (64 x 64 unless a test asks otherwise first).
GlContext& sharedContext(int width = 64, int height = 64);

// A test with a current GL context, a clean show and a cleared offscreen target.
class GlTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  GlContext& gl() { return *context; }

 private:
  GlContext* context = nullptr;
};

// Makes a fresh temporary folder the working directory for the object's lifetime,
// so that the player's fixed "data/..." paths point at files the test writes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::filesystem::path& path() const { return root; }
  // Writes bytes to a path relative to the folder, creating parent folders.
  void write(const std::string& relative, std::string_view bytes) const;

 private:
  std::filesystem::path root;
  std::filesystem::path previous;
};

}  // namespace glowmarch::testing
