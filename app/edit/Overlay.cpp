#include "app/edit/Overlay.h"

#include <imgui.h>
#include <imgui_impl_opengl3.h>
#include <imgui_impl_sdl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "app/platform/System.h"

namespace glowmarch {

namespace {

constexpr ImGuiWindowFlags panelFlags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoSavedSettings |
                                        ImGuiWindowFlags_NoFocusOnAppearing | ImGuiWindowFlags_NoNav |
                                        ImGuiWindowFlags_NoMove;
constexpr float margin = 10.0f;
constexpr float timelineHeight = 72.0f;

// The CPU time of this thread alone: the GL driver's own threads and other programs do not count.
double threadSeconds() { return system::threadCpuSeconds(); }

bool isMouseEvent(const SDL_Event& event) {
  return event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP || event.type == SDL_MOUSEMOTION ||
         event.type == SDL_MOUSEWHEEL;
}

bool looksLikeError(const std::string& line) {
  return line.find("rror") != std::string::npos || line.find("nonexistant") != std::string::npos ||
         line.find("Couldn't") != std::string::npos || line.find("failed") != std::string::npos;
}

}  // namespace

std::vector<float> loudness(const std::int16_t* samples, std::uint64_t frames, std::size_t buckets) {
  std::vector<float> levels(buckets, 0.0f);
  if (samples == nullptr || frames == 0 || buckets == 0) return levels;
  for (std::size_t bucket = 0; bucket < buckets; ++bucket) {
    const std::uint64_t begin = frames * bucket / buckets;
    const std::uint64_t end = frames * (bucket + 1) / buckets;
    if (end <= begin) continue;
    double sum = 0.0;
    for (std::uint64_t i = begin * 2; i < end * 2; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    levels[bucket] = static_cast<float>(std::sqrt(sum / static_cast<double>((end - begin) * 2)) / 32768.0);
  }
  return levels;
}

double timelineSeconds(float x, float left, float width, double length) {
  if (!(width > 0.0f) || !(length > 0.0)) return 0.0;
  const double share = std::clamp(static_cast<double>(x - left) / width, 0.0, 1.0);
  return share * length;
}

Overlay::Overlay(SDL_Window* window, SDL_GLContext context) {
  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  // Nothing on disk: the overlay's layout is fixed.
  io.IniFilename = nullptr;
  io.LogFilename = nullptr;
  ImGui::StyleColorsDark();
  ImGui_ImplSDL2_InitForOpenGL(window, context);
  ImGui_ImplOpenGL3_Init("#version 130");
}

Overlay::~Overlay() {
  ImGui_ImplOpenGL3_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext();
}

bool Overlay::take(const SDL_Event& event) {
  ImGui_ImplSDL2_ProcessEvent(&event);
  return isMouseEvent(event) && ImGui::GetIO().WantCaptureMouse;
}

void Overlay::countFrame(double seconds) {
  frameTimes[nextFrameTime] = static_cast<float>(seconds * 1000.0);
  nextFrameTime = (nextFrameTime + 1) % frameTimes.size();
}

std::optional<double> Overlay::draw(const OverlayView& view) {
  const double start = threadSeconds();
  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  ImGui::NewFrame();
  const ImVec2 display = ImGui::GetIO().DisplaySize;

  ImGui::SetNextWindowPos(ImVec2(margin, margin));
  ImGui::SetNextWindowBgAlpha(0.65f);
  ImGui::Begin("transport", nullptr, panelFlags | ImGuiWindowFlags_AlwaysAutoResize);
  ImGui::Text("%8.3f s of %.3f s   %s", view.seconds, view.length, view.paused ? "PAUSED" : "playing");
  if (view.loop.end) {
    ImGui::Text("loop %.3f s to %.3f s: %s", view.loop.start / double(editFps), *view.loop.end / double(editFps),
                view.loop.active() ? "looping" : "off");
  } else {
    ImGui::Text("loop from %.3f s (] sets its end): off", view.loop.start / double(editFps));
  }
  float sum = 0.0f;
  int counted = 0;
  for (float time : frameTimes) {
    if (time <= 0.0f) continue;
    sum += time;
    ++counted;
  }
  char rate[64];
  std::snprintf(rate, sizeof rate, "%.1f fps, %.2f ms", counted > 0 && sum > 0 ? 1000.0f * counted / sum : 0.0f,
                counted > 0 ? sum / counted : 0.0f);
  ImGui::PlotLines("##frames", frameTimes.data(), static_cast<int>(frameTimes.size()),
                   static_cast<int>(nextFrameTime), rate, 0.0f, 50.0f, ImVec2(260.0f, 44.0f));
  ImGui::Text("overlay %.2f ms CPU", lastDrawMilliseconds);
  ImGui::End();

  const std::size_t listed = (view.messages != nullptr ? view.messages->size() : 0) +
                             (view.findings != nullptr ? view.findings->size() : 0);
  if (listed > 0) {
    const float width = std::min(display.x * 0.45f, 900.0f);
    ImGui::SetNextWindowPos(ImVec2(display.x - width - margin, margin));
    // As tall as the list, up to two fifths of the window; longer lists scroll.
    const float tall = static_cast<float>(listed) * ImGui::GetTextLineHeightWithSpacing() * 2.0f + 20.0f;
    ImGui::SetNextWindowSize(ImVec2(width, std::min(tall, std::max(80.0f, display.y * 0.4f))));
    ImGui::SetNextWindowBgAlpha(0.65f);
    ImGui::Begin("messages", nullptr, panelFlags);
    ImGui::PushTextWrapPos(0.0f);
    if (view.messages != nullptr) {
      for (const std::string& line : *view.messages) {
        if (looksLikeError(line)) {
          ImGui::TextColored(ImVec4(1.0f, 0.45f, 0.4f, 1.0f), "%s", line.c_str());
        } else {
          ImGui::TextUnformatted(line.c_str());
        }
      }
    }
    if (view.findings != nullptr) {
      for (const std::string& line : *view.findings) ImGui::TextColored(ImVec4(1.0f, 0.8f, 0.35f, 1.0f), "%s", line.c_str());
    }
    // Newest last and in sight, until the list is scrolled up by hand.
    if (listed != messagesShown || scrollMessages) ImGui::SetScrollHereY(1.0f);
    scrollMessages = ImGui::GetScrollY() >= ImGui::GetScrollMaxY();
    messagesShown = listed;
    ImGui::PopTextWrapPos();
    ImGui::End();
  }

  std::optional<double> seek;
  drawTimeline(view, seek);

  ImGui::Render();
  ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
  const double spent = threadSeconds() - start;
  lastDrawMilliseconds = spent * 1000.0;
  // The first frame makes the overlay's font texture and program: not a frame's cost.
  if (!std::exchange(warming, false)) {
    drawSeconds += spent;
    ++drawCount;
  }
  return seek;
}

void Overlay::drawTimeline(const OverlayView& view, std::optional<double>& seek) {
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  ImGui::SetNextWindowPos(ImVec2(margin, display.y - timelineHeight - margin));
  ImGui::SetNextWindowSize(ImVec2(std::max(display.x - 2 * margin, 50.0f), timelineHeight));
  ImGui::SetNextWindowBgAlpha(0.65f);
  ImGui::Begin("timeline", nullptr, panelFlags | ImGuiWindowFlags_NoScrollbar);
  const ImVec2 origin = ImGui::GetCursorScreenPos();
  const ImVec2 size(std::max(ImGui::GetContentRegionAvail().x, 10.0f), std::max(ImGui::GetContentRegionAvail().y, 10.0f));
  ImGui::InvisibleButton("##timeline", size);
  ImDrawList* draw = ImGui::GetWindowDrawList();
  const float bottom = origin.y + size.y;
  const double length = view.length > 0.0 ? view.length : 1.0;
  auto xOf = [&](double seconds) {
    return origin.x + static_cast<float>(std::clamp(seconds / length, 0.0, 1.0)) * size.x;
  };

  draw->AddRectFilled(origin, ImVec2(origin.x + size.x, bottom), IM_COL32(20, 20, 28, 255));
  if (view.loop.end && *view.loop.end > view.loop.start) {
    draw->AddRectFilled(ImVec2(xOf(view.loop.start / double(editFps)), origin.y),
                        ImVec2(xOf(*view.loop.end / double(editFps)), bottom),
                        view.loop.active() ? IM_COL32(60, 120, 60, 160) : IM_COL32(70, 70, 70, 120));
  }
  if (view.loudness != nullptr && !view.loudness->empty()) {
    const std::size_t buckets = view.loudness->size();
    const float step = size.x / static_cast<float>(buckets);
    const float middle = origin.y + size.y * 0.55f;
    for (std::size_t i = 0; i < buckets; ++i) {
      // Loudness shown on a root scale: quiet passages stay visible beside loud ones.
      const float half = std::sqrt(std::min((*view.loudness)[i] * 2.0f, 1.0f)) * size.y * 0.42f;
      const float x = origin.x + step * static_cast<float>(i);
      draw->AddRectFilled(ImVec2(x, middle - half), ImVec2(x + std::max(step, 1.0f), middle + half),
                          IM_COL32(90, 140, 210, 255));
    }
  }
  if (view.lineTimes != nullptr) {
    float lastX = -1.0f;
    for (double time : *view.lineTimes) {
      if (time < 0.0) continue;
      const float x = std::floor(xOf(time));
      if (x == lastX) continue;
      lastX = x;
      draw->AddLine(ImVec2(x, origin.y), ImVec2(x, origin.y + 9.0f), IM_COL32(240, 220, 120, 255));
    }
  }
  const float now = xOf(view.seconds);
  draw->AddLine(ImVec2(now, origin.y), ImVec2(now, bottom), IM_COL32(255, 70, 70, 255), 2.0f);

  if (ImGui::IsItemActive()) {
    const double target = timelineSeconds(ImGui::GetIO().MousePos.x, origin.x, size.x, length);
    // Each new grid frame under the pointer seeks once.
    if (!dragSeconds || frameNearest(*dragSeconds) != frameNearest(target)) {
      dragSeconds = target;
      seek = target;
    }
  } else {
    dragSeconds.reset();
  }
  ImGui::End();
}

}  // namespace glowmarch
