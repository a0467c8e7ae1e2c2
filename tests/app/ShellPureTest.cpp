// The shell's decisions that need no window: projection parameters, the full-screen mode, the context
// the show accepts, and the message boxes with and without a display.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/common/View.h"
#include "app/shell/MessageBox.h"
#include "app/shell/PlayerMessages.h"
#include "app/shell/Window.h"
#include "timeline/Platform.h"

namespace glowmarch {
namespace {

TEST(Projection, FortyFiveDegreesWithTheWidenedSinglePrecisionNearPlaneAndAZeroHeightTakenAsOne) {
  const Projection full = projectionFor(1920, 1080);
  EXPECT_EQ(full.viewportWidth, 1920);
  EXPECT_EQ(full.viewportHeight, 1080);
  EXPECT_EQ(full.fieldOfView, 45.0);
  EXPECT_EQ(full.aspect, 1920.0 / 1080.0);
  EXPECT_EQ(full.nearPlane, 0.10000000149011612);
  EXPECT_EQ(full.farPlane, 1000.0);

  const Projection flat = projectionFor(640, 0);
  EXPECT_EQ(flat.viewportHeight, 1);
  EXPECT_EQ(flat.aspect, 640.0);

  EXPECT_EQ(projectionFor(7, 3).aspect, 7.0 / 3.0) << "the aspect divides in double precision";
}

SDL_DisplayMode mode(Uint32 format, int w, int h) { return SDL_DisplayMode{format, w, h, 60, nullptr}; }

TEST(FullscreenMode, OnlyExactly1920By1080AtFourBytesPerPixelIsTaken) {
  EXPECT_TRUE(isFullscreenMode(mode(SDL_PIXELFORMAT_RGB888, 1920, 1080)));
  EXPECT_TRUE(isFullscreenMode(mode(SDL_PIXELFORMAT_ARGB8888, 1920, 1080)));
  EXPECT_FALSE(isFullscreenMode(mode(SDL_PIXELFORMAT_RGB565, 1920, 1080)));
  EXPECT_FALSE(isFullscreenMode(mode(SDL_PIXELFORMAT_RGB24, 1920, 1080)));
  EXPECT_FALSE(isFullscreenMode(mode(SDL_PIXELFORMAT_RGB888, 1920, 1200)));
  EXPECT_FALSE(isFullscreenMode(mode(SDL_PIXELFORMAT_RGB888, 1280, 720)));
}

TEST(VideoDriver, HeadlessDriversAreNoWindowUnlessAskedForByName) {
  EXPECT_TRUE(isVisibleVideoDriver("x11", nullptr));
  EXPECT_TRUE(isVisibleVideoDriver("wayland", "x11"));
  EXPECT_FALSE(isVisibleVideoDriver("offscreen", nullptr));
  EXPECT_FALSE(isVisibleVideoDriver("dummy", "x11"));
  EXPECT_TRUE(isVisibleVideoDriver("offscreen", "offscreen"));
  EXPECT_TRUE(isVisibleVideoDriver("dummy", "DUMMY"));
  EXPECT_FALSE(isVisibleVideoDriver(nullptr, nullptr));
}

TEST(ShowContext, NeedsVersion33OrLaterWithTheCompatibilityProfile) {
  EXPECT_TRUE(isShowContext(3, 3, GL_CONTEXT_COMPATIBILITY_PROFILE_BIT));
  EXPECT_TRUE(isShowContext(4, 5, GL_CONTEXT_COMPATIBILITY_PROFILE_BIT));
  EXPECT_TRUE(isShowContext(4, 0, GL_CONTEXT_COMPATIBILITY_PROFILE_BIT));
  EXPECT_FALSE(isShowContext(3, 2, GL_CONTEXT_COMPATIBILITY_PROFILE_BIT));
  EXPECT_FALSE(isShowContext(2, 1, 0));
  EXPECT_FALSE(isShowContext(4, 6, GL_CONTEXT_CORE_PROFILE_BIT)) << "a core context has no matrix stack";
  EXPECT_FALSE(isShowContext(0, 0, 0)) << "no context at all";
}

// Stands in for SDL: keeps what each box would show and answers as told.
struct BoxRecord {
  std::string title;
  std::string message;
  Uint32 flags;
  std::vector<SDL_MessageBoxButtonData> buttons;
  SDL_Window* owner;
};
std::vector<BoxRecord> shownBoxes;
int answerWith = -1;   // button id the "user" picks; -1 closes the box without a button
int showResult = 0;    // -1: no box could be shown

int recordingBox(const SDL_MessageBoxData* box, int* buttonId) {
  shownBoxes.push_back(BoxRecord{box->title, box->message, box->flags,
                                 std::vector<SDL_MessageBoxButtonData>(box->buttons, box->buttons + box->numbuttons),
                                 box->window});
  if (showResult != 0) return showResult;
  *buttonId = answerWith;
  return 0;
}

class MessageBoxes : public ::testing::Test {
 protected:
  void SetUp() override {
    shownBoxes.clear();
    showResult = 0;
    setBoxFunction(recordingBox);
  }
  void TearDown() override { setBoxFunction(nullptr); }
};

TEST_F(MessageBoxes, TheQuestionHasYesOnReturnNoOnEscapeAndOnlyYesAnswersYes) {
  answerWith = 6;
  EXPECT_TRUE(askYesNo("Would You Like to Run in FullScreen mode?", "Start Fullscreen?", BoxIcon::question));
  ASSERT_EQ(shownBoxes.size(), 1u);
  const BoxRecord& box = shownBoxes[0];
  EXPECT_EQ(box.title, "Start Fullscreen?");
  EXPECT_EQ(box.message, "Would You Like to Run in FullScreen mode?");
  EXPECT_EQ(box.owner, nullptr);
  ASSERT_EQ(box.buttons.size(), 2u);
  EXPECT_STREQ(box.buttons[0].text, "Yes");
  EXPECT_EQ(box.buttons[0].flags, static_cast<Uint32>(SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT));
  EXPECT_STREQ(box.buttons[1].text, "No");
  EXPECT_EQ(box.buttons[1].flags, static_cast<Uint32>(SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT));
  EXPECT_NE(box.flags & SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT, 0u);

  answerWith = 7;
  EXPECT_FALSE(askYesNo("q", "c", BoxIcon::exclamation));
  EXPECT_NE(shownBoxes.back().flags & SDL_MESSAGEBOX_WARNING, 0u);
  answerWith = -1;
  EXPECT_FALSE(askYesNo("q", "c", BoxIcon::question)) << "a box closed without an answer is no Yes";
}

TEST_F(MessageBoxes, WhenNoBoxCanBeShownTheQuestionIsNoAndTextsGoToStandardError) {
  showResult = -1;
  answerWith = 6;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(askYesNo("Would You Like to Run in FullScreen mode?", "Start Fullscreen?", BoxIcon::question));
  tell("Program will now close.", "ERROR", BoxIcon::stop);
  tell("Release of DC and RC Failed.", "SHUTDOWN ERROR", BoxIcon::information);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(errors, "ERROR: Program will now close.\nSHUTDOWN ERROR: Release of DC and RC Failed.\n");
  // Each box is tried a few times, in case the display refused one connection.
  ASSERT_EQ(shownBoxes.size(), 9u);
  EXPECT_EQ(shownBoxes[2].title, "Start Fullscreen?");
  EXPECT_NE(shownBoxes[3].flags & SDL_MESSAGEBOX_ERROR, 0u);
  EXPECT_NE(shownBoxes[8].flags & SDL_MESSAGEBOX_INFORMATION, 0u);
}

TEST_F(MessageBoxes, ThePlayersBoxesGoThroughTheShellOwnedByTheShowWindow) {
  installPlayerMessages();
  answerWith = 1;
  platform().showMessage("BASS error, file not found?", "BASS");
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0].title, "BASS");
  EXPECT_EQ(shownBoxes[0].message, "BASS error, file not found?");
  EXPECT_EQ(shownBoxes[0].owner, shell.window);
  ASSERT_EQ(shownBoxes[0].buttons.size(), 1u);
  EXPECT_STREQ(shownBoxes[0].buttons[0].text, "OK");
}

// A fresh process, so that SDL opens (and fails to open) the display itself.
TEST(MessageBoxesWithoutDisplay, RealSdlBoxesFallBackToNoAndStandardError) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        const bool yes = askYesNo("Would You Like to Run in FullScreen mode?", "Start Fullscreen?", BoxIcon::question);
        tell("Window Creation Error.", "ERROR", BoxIcon::exclamation);
        std::exit(yes ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "ERROR: Window Creation Error.");
}

}  // namespace
}  // namespace glowmarch
