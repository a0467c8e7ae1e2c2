#include "app/edit/Overlay.h"

#include <imgui.h>
#include <imgui_impl_opengl3.h>
#include <imgui_impl_sdl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>

#include "app/edit/BarsAndBeats.h"
#include "app/edit/MessageLog.h"
#include "app/edit/TimeStatus.h"
#include "app/platform/System.h"
#include "resources/Utf8Path.h"

namespace glowmarch {

namespace {

// Sized by hand (their inner edge), placed by the overlay.
constexpr ImGuiWindowFlags panelFlags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoCollapse |
                                        ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing |
                                        ImGuiWindowFlags_NoNav | ImGuiWindowFlags_NoMove |
                                        ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse;
constexpr float startUpWidth = 64.0f;  // the timeline's margin for the start-up lines
constexpr float scaleHeight = 16.0f;
constexpr float tickReach = 4.0f;  // how near the pointer a tick counts as under it

// The CPU time of this thread alone: the GL driver's own threads and other programs do not count.
double threadSeconds() { return system::threadCpuSeconds(); }

bool isMouseEvent(const SDL_Event& event) {
  return event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP || event.type == SDL_MOUSEMOTION ||
         event.type == SDL_MOUSEWHEEL;
}

float clampPanel(float size, float display, float least) {
  return std::clamp(size, least, std::max(least, display * 0.7f));
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


PictureArea pictureArea(int width, int height, int column, int strip) {
  PictureArea area;
  const int freeWidth = std::max(width - column, 1);
  const int freeHeight = std::max(height - strip, 1);
  if (width < 1 || height < 1) return area;
  // The larger scale at which the whole picture fits.
  if (static_cast<std::int64_t>(freeWidth) * height <= static_cast<std::int64_t>(freeHeight) * width) {
    area.width = freeWidth;
    area.height = std::max(1, static_cast<int>(static_cast<std::int64_t>(freeWidth) * height / width));
  } else {
    area.height = freeHeight;
    area.width = std::max(1, static_cast<int>(static_cast<std::int64_t>(freeHeight) * width / height));
  }
  area.x = (freeWidth - area.width) / 2;
  area.y = (freeHeight - area.height) / 2;
  return area;
}

Overlay::Overlay(SDL_Window* window, SDL_GLContext context, std::string layoutFile)
    : window(window), layoutFile(std::move(layoutFile)) {
  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  // The panels' sizes are kept by the overlay itself, nothing else goes to disk.
  io.IniFilename = nullptr;
  io.LogFilename = nullptr;
  ImGui::StyleColorsDark();
  ImGui_ImplSDL2_InitForOpenGL(window, context);
  ImGui_ImplOpenGL3_Init("#version 130");
  if (!this->layoutFile.empty()) {
    std::ifstream in(this->layoutFile);
    std::string word;
    float value = 0.0f;
    while (in >> word >> value) {
      if (!std::isfinite(value)) continue;
      if (word == "column") columnWidth = value;
      if (word == "timeline") stripHeight = value;
      if (word == "inspector") inspector.setWidth(value);
      if (word == "inspector-open") inspector.open = value != 0.0f;
    }
  }
}

Overlay::~Overlay() {
  saveLayout();
  ImGui_ImplOpenGL3_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext();
}

void Overlay::saveLayout() const {
  if (layoutFile.empty()) return;
  std::error_code ignored;
  std::filesystem::create_directories(pathFromUtf8(layoutFile).parent_path(), ignored);
  std::ofstream out(layoutFile);
  out << "column " << columnWidth << "\ntimeline " << stripHeight << "\n";
  out << "inspector " << inspector.keptWidth() << "\ninspector-open " << (inspector.open ? 1 : 0) << "\n";
}

bool Overlay::take(const SDL_Event& event) {
  ImGui_ImplSDL2_ProcessEvent(&event);
  return isMouseEvent(event) && ImGui::GetIO().WantCaptureMouse;
}

void Overlay::countFrame(double seconds) {
  frameTimes[nextFrameTime] = static_cast<float>(seconds * 1000.0);
  nextFrameTime = (nextFrameTime + 1) % frameTimes.size();
}

PictureArea Overlay::pictureArea(int width, int height) const {
  int windowWidth = width;
  if (SDL_Window* window = SDL_GL_GetCurrentWindow()) SDL_GetWindowSize(window, &windowWidth, nullptr);
  const float scale = windowWidth > 0 ? static_cast<float>(width) / static_cast<float>(windowWidth) : 1.0f;
  const float column = columnWidth > 0.0f ? columnWidth : std::clamp(static_cast<float>(windowWidth) * 0.3f, 240.0f, 420.0f);
  // The inspector takes a column on the left: the picture keeps its proportions in what is left.
  const int left = inspector.open ? static_cast<int>(inspector.widthIn(static_cast<float>(windowWidth)) * scale) : 0;
  PictureArea area = glowmarch::pictureArea(width, height, static_cast<int>(column * scale) + left,
                                            static_cast<int>(stripHeight * scale));
  area.x += left;
  return area;
}

std::optional<std::uint64_t> Overlay::draw(const OverlayView& view) {
  const double start = threadSeconds();
  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  // The pointer as the window's own events left it: the backend asks for the screen-wide position,
  // which some X servers do not update when the pointer is warped (as test tools move it).
  int pointerX = 0;
  int pointerY = 0;
  SDL_GetMouseState(&pointerX, &pointerY);
  if (SDL_GetMouseFocus() == window) ImGui::GetIO().MousePos = ImVec2(static_cast<float>(pointerX), static_cast<float>(pointerY));
  ImGui::NewFrame();

  drawSide(view);
  std::optional<std::uint64_t> seek;
  if (inspector.open) {
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(ImVec2(inspector.widthIn(display.x), std::max(display.y - stripHeight, 60.0f)));
    ImGui::SetNextWindowBgAlpha(0.9f);
    ImGui::Begin("inspector", nullptr, panelFlags);
    seek = inspector.draw(view);
    // Its inner edge is dragged to size it.
    inspector.setWidth(ImGui::GetWindowWidth());
    ImGui::End();
  }
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

void Overlay::drawSide(const OverlayView& view) {
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  if (!(columnWidth > 0.0f)) columnWidth = std::clamp(display.x * 0.3f, 240.0f, 420.0f);
  columnWidth = clampPanel(columnWidth, display.x, 240.0f);
  ImGui::SetNextWindowPos(ImVec2(display.x - columnWidth, 0.0f));
  ImGui::SetNextWindowSize(ImVec2(columnWidth, std::max(display.y - stripHeight, 60.0f)));
  ImGui::SetNextWindowBgAlpha(0.9f);
  ImGui::Begin("side", nullptr, panelFlags);
  const std::optional<BarBeat> at =
      view.beats != nullptr ? barBeatAt(*view.beats, view.beatsPerBar, view.seconds) : std::nullopt;
  ImGui::TextUnformatted(
      timeStatus(view.seconds, view.length, view.paused, view.atEnd, at ? barBeatText(*at) : std::string()).c_str());
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
                   static_cast<int>(nextFrameTime), rate, 0.0f, 50.0f,
                   ImVec2(ImGui::GetContentRegionAvail().x, 40.0f));
  ImGui::Text("overlay %.2f ms CPU", lastDrawMilliseconds);
  if (!view.status.empty()) {
    ImGui::TextColored(ImVec4(0.45f, 1.0f, 0.55f, 1.0f), "%s", view.status.c_str());
  } else {
    ImGui::TextUnformatted("");
  }
  ImGui::Separator();
  drawMessages(view);
  // The column's inner edge is dragged to size it.
  if (!ImGui::IsWindowCollapsed()) columnWidth = ImGui::GetWindowWidth();
  ImGui::End();
}

void Overlay::drawMessages(const OverlayView& view) {
  static const std::deque<std::string> noMessages;
  static const std::vector<Finding> noFindings;
  const std::vector<MessageGroup> groups = groupMessages(view.messages != nullptr ? *view.messages : noMessages,
                                                         view.findings != nullptr ? *view.findings : noFindings);
  ImGui::BeginChild("messages", ImVec2(0.0f, 0.0f), false, ImGuiWindowFlags_HorizontalScrollbar);
  // Newest last and in sight while the list is at its end; scrolled up by hand, it stays.
  const bool atEnd = ImGui::GetScrollY() >= ImGui::GetScrollMaxY() - 1.0f;
  std::size_t listed = 0;
  ImGui::PushTextWrapPos(0.0f);
  for (const MessageGroup& group : groups) {
    if (!group.file.empty()) {
      ImGui::Spacing();
      ImGui::TextColored(ImVec4(0.6f, 0.8f, 1.0f, 1.0f), "%s", group.file.c_str());
      ImGui::Indent(8.0f);
    }
    for (const MessageEntry& entry : group.entries) {
      ++listed;
      switch (entry.kind) {
        case MessageEntry::error:
          ImGui::TextColored(ImVec4(1.0f, 0.45f, 0.4f, 1.0f), "%s", entry.text.c_str());
          break;
        case MessageEntry::finding:
          ImGui::TextColored(ImVec4(1.0f, 0.8f, 0.35f, 1.0f), "%s", entry.text.c_str());
          break;
        default:
          ImGui::TextUnformatted(entry.text.c_str());
      }
    }
    if (!group.file.empty()) ImGui::Unindent(8.0f);
  }
  ImGui::PopTextWrapPos();
  if (listed != messagesShown && atEnd) ImGui::SetScrollHereY(1.0f);
  messagesShown = listed;
  ImGui::EndChild();
}

void Overlay::drawTimeline(const OverlayView& view, std::optional<std::uint64_t>& seek) {
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  stripHeight = clampPanel(stripHeight, display.y, 70.0f);
  ImGui::SetNextWindowPos(ImVec2(0.0f, display.y - stripHeight));
  ImGui::SetNextWindowSize(ImVec2(std::max(display.x, 50.0f), stripHeight));
  ImGui::SetNextWindowBgAlpha(0.9f);
  ImGui::Begin("timeline", nullptr, panelFlags);
  const ImVec2 origin = ImGui::GetCursorScreenPos();
  const ImVec2 size(std::max(ImGui::GetContentRegionAvail().x, startUpWidth + 20.0f),
                    std::max(ImGui::GetContentRegionAvail().y, 30.0f));
  ImGui::InvisibleButton("##timeline", size, ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight |
                                                 ImGuiButtonFlags_MouseButtonMiddle);
  const bool hovered = ImGui::IsItemHovered();
  ImDrawList* draw = ImGui::GetWindowDrawList();
  ImGuiIO& io = ImGui::GetIO();
  const float bottom = origin.y + size.y;
  const float left = origin.x + startUpWidth;
  const float width = size.x - startUpWidth;
  const double length = view.length > 0.0 ? view.length : 1.0;
  // The whole show, as its length changes with each reload, until the user zooms or pans.
  span = zoomed ? span.clamped(length) : TimelineSpan::whole(length);

  // The wheel zooms around the pointer; a right or middle drag, or a sideways wheel, pans.
  const TimelineSpan before = span;
  if (hovered && io.MousePos.x >= left) {
    if (io.MouseWheel != 0.0f) {
      span = zoomAround(span, span.secondsAt(io.MousePos.x, left, width), std::pow(0.8, io.MouseWheel), length);
    }
    if (io.MouseWheelH != 0.0f) span = panBy(span, -io.MouseWheelH * span.span * 0.1, length);
  }
  if (ImGui::IsItemActive() && (ImGui::IsMouseDragging(ImGuiMouseButton_Right) ||
                                ImGui::IsMouseDragging(ImGuiMouseButton_Middle))) {
    span = panBy(span, -io.MouseDelta.x / width * span.span, length);
  }
  if (span.first != before.first || span.span != before.span) zoomed = span.first > 0.0 || span.span < length;
  auto xOf = [&](double seconds) { return span.xOf(seconds, left, width); };
  const double last = span.first + span.span;

  draw->AddRectFilled(origin, ImVec2(origin.x + size.x, bottom), IM_COL32(20, 20, 28, 255));
  draw->AddRectFilled(origin, ImVec2(left - 2.0f, bottom), IM_COL32(34, 30, 44, 255));
  draw->AddText(ImVec2(origin.x + 4.0f, bottom - ImGui::GetTextLineHeight() - 2.0f), IM_COL32(170, 170, 190, 255),
                "start-up");
  draw->PushClipRect(ImVec2(left, origin.y), ImVec2(origin.x + size.x, bottom), true);
  if (view.loop.end && *view.loop.end > view.loop.start) {
    draw->AddRectFilled(ImVec2(xOf(view.loop.start / double(editFps)), origin.y),
                        ImVec2(xOf(*view.loop.end / double(editFps)), bottom),
                        view.loop.active() ? IM_COL32(60, 120, 60, 160) : IM_COL32(70, 70, 70, 120));
  }
  const float bandTop = origin.y + scaleHeight + 10.0f;
  if (view.loudness != nullptr && !view.loudness->empty() && view.musicLength > 0.0) {
    const std::size_t buckets = view.loudness->size();
    const double bucketSeconds = view.musicLength / static_cast<double>(buckets);
    const float middle = (bandTop + bottom) * 0.5f;
    const float reach = (bottom - bandTop) * 0.5f;
    const std::size_t from = static_cast<std::size_t>(std::max(0.0, span.first / bucketSeconds));
    for (std::size_t i = from; i < buckets && static_cast<double>(i) * bucketSeconds <= last; ++i) {
      // Loudness shown on a root scale: quiet passages stay visible beside loud ones.
      const float half = std::sqrt(std::min((*view.loudness)[i] * 2.0f, 1.0f)) * reach;
      const float x0 = xOf(static_cast<double>(i) * bucketSeconds);
      const float x1 = std::max(xOf(static_cast<double>(i + 1) * bucketSeconds), x0 + 1.0f);
      draw->AddRectFilled(ImVec2(x0, middle - half), ImVec2(x1, middle + half), IM_COL32(90, 140, 210, 255));
    }
  }
  // The beat grid along the bottom, each bar's first beat taller, numbered as room allows: bars, or
  // bar.beat zoomed in.
  if (view.beats != nullptr && view.beats->size() >= 2) {
    const std::vector<double>& beats = *view.beats;
    const int perBar = std::max(view.beatsPerBar, 1);
    const double beatSeconds = (beats.back() - beats.front()) / static_cast<double>(beats.size() - 1);
    const int labelStep = beatLabelStep(beatSeconds / span.span * width, perBar, 36.0);
    const float textHeight = ImGui::GetTextLineHeight();
    const auto from = std::lower_bound(beats.begin(), beats.end(), span.first);
    for (auto beat = from; beat != beats.end() && *beat <= last; ++beat) {
      const auto index = beat - beats.begin();
      const bool barStart = index % perBar == 0;
      const float x = std::floor(xOf(*beat));
      draw->AddLine(ImVec2(x, bottom - (barStart ? 13.0f : 7.0f)), ImVec2(x, bottom),
                    barStart ? IM_COL32(170, 255, 255, 255) : IM_COL32(120, 230, 230, 255));
      if (index % labelStep != 0) continue;
      const BarBeat at = barBeatOf(static_cast<long>(index), perBar);
      const std::string label = labelStep == 1 ? barBeatText(at) : std::to_string(at.bar);
      const ImVec2 place(x + 2.0f, bottom - 12.0f - textHeight);
      const ImVec2 size = ImGui::CalcTextSize(label.c_str());
      draw->AddRectFilled(place, ImVec2(place.x + size.x, place.y + size.y), IM_COL32(20, 20, 28, 190));
      draw->AddText(place, IM_COL32(150, 235, 235, 255), label.c_str());
    }
  }
  // The seconds scale.
  const double step = scaleStep(span.span / width, 80.0);
  for (double mark = std::ceil(span.first / step) * step; mark <= last + 1e-9; mark += step) {
    const float x = std::floor(xOf(mark));
    draw->AddLine(ImVec2(x, origin.y), ImVec2(x, origin.y + 5.0f), IM_COL32(200, 200, 210, 255));
    draw->AddText(ImVec2(x + 3.0f, origin.y), IM_COL32(200, 200, 210, 255), scaleLabel(mark, step).c_str());
  }
  draw->PopClipRect();

  // Ticks: one per place, lines at one time sharing it; start-up lines spread over their margin.
  std::vector<std::pair<float, const TimelineLine*>> ticks;
  if (view.lines != nullptr) {
    std::size_t startUp = 0;
    for (const TimelineLine& line : *view.lines) startUp += line.time < 0.0 ? 1 : 0;
    std::size_t nthStartUp = 0;
    for (const TimelineLine& line : *view.lines) {
      float x = 0.0f;
      if (line.time < 0.0) {
        x = origin.x + 4.0f + (startUpWidth - 10.0f) * static_cast<float>(nthStartUp++) /
                                  static_cast<float>(std::max<std::size_t>(startUp - 1, 1));
      } else {
        if (line.time < span.first || line.time > last) continue;
        x = xOf(line.time);
      }
      ticks.emplace_back(std::floor(x), &line);
    }
  }
  const float tickTop = origin.y + scaleHeight;
  for (const auto& [x, line] : ticks) {
    draw->AddLine(ImVec2(x, tickTop), ImVec2(x, tickTop + 9.0f), IM_COL32(240, 220, 120, 255));
  }
  if (view.seconds >= span.first && view.seconds <= last) {
    const float now = xOf(view.seconds);
    draw->AddLine(ImVec2(now, origin.y), ImVec2(now, bottom), IM_COL32(255, 70, 70, 255), 2.0f);
  }

  // Under the pointer: its time, and the lines of the ticks there.
  const float pointer = io.MousePos.x;
  std::vector<const TimelineLine*> near;
  const TimelineLine* nearest = nullptr;  // the tick a press takes, not a start-up line's
  if (hovered) {
    for (const auto& [x, line] : ticks) {
      if (std::fabs(x - pointer) > tickReach) continue;
      near.push_back(line);
      if (line->time >= 0.0 && (nearest == nullptr || std::fabs(x - pointer) < std::fabs(xOf(nearest->time) - pointer))) {
        nearest = line;
      }
    }
  }
  const bool pressed = ImGui::IsItemActive() && ImGui::IsMouseDown(ImGuiMouseButton_Left);
  if (pressed && ImGui::IsMouseClicked(ImGuiMouseButton_Left) && nearest != nullptr) {
    tickDrag = TickDrag{nearest->time, pointer, false, 0};
  }
  if (tickDrag && pressed) {
    // Dragged a few pixels, the tick's lines go where it is let go: to the nearest beat, or with
    // Shift to the nearest frame.
    if (std::fabs(pointer - tickDrag->pressedAt) > 3.0f) tickDrag->moving = true;
    if (tickDrag->moving) {
      static const std::vector<double> noBeats;
      const double at = std::clamp(span.secondsAt(pointer, left, width), 0.0, length);
      tickDrag->target = tickTarget(at, view.beats != nullptr ? *view.beats : noBeats, io.KeyShift);
      const double target = static_cast<double>(tickDrag->target) / editFps;
      const float x = xOf(target);
      const float from = xOf(tickDrag->from);
      draw->AddLine(ImVec2(from, origin.y + scaleHeight), ImVec2(from, bottom), IM_COL32(240, 220, 120, 140), 1.0f);
      draw->AddLine(ImVec2(x, origin.y), ImVec2(x, bottom), IM_COL32(255, 90, 255, 255), 2.0f);
      const std::optional<BarBeat> bar =
          view.beats != nullptr ? barBeatAt(*view.beats, view.beatsPerBar, target) : std::nullopt;
      ImGui::BeginTooltip();
      ImGui::Text("to %.3f s%s%s", target, bar ? ", beat " : "", bar ? barBeatText(*bar).c_str() : "");
      ImGui::TextDisabled(io.KeyShift ? "on the 1/60 s grid" : "on the nearest beat (Shift: any frame)");
      ImGui::EndTooltip();
    }
  } else if (hovered) {
    ImGui::BeginTooltip();
    if (pointer >= left) {
      const double at = span.secondsAt(pointer, left, width);
      const std::optional<BarBeat> bar =
          view.beats != nullptr ? barBeatAt(*view.beats, view.beatsPerBar, at) : std::nullopt;
      ImGui::Text("%.3f s%s%s", at, bar ? ", beat " : "", bar ? barBeatText(*bar).c_str() : "");
    } else {
      ImGui::TextUnformatted("start-up lines");
    }
    const std::size_t shown = std::min<std::size_t>(near.size(), 16);
    for (std::size_t i = 0; i < shown; ++i) {
      ImGui::Text("line %d: %s", near[i]->fileLine, near[i]->text.c_str());
    }
    if (near.size() > shown) ImGui::Text("and %zu more", near.size() - shown);
    if (nearest != nullptr) ImGui::TextDisabled("drag to move these lines in time");
    ImGui::EndTooltip();
  }

  if (tickDrag && !pressed) {
    // Let go: a tick dragged moves its lines; one only clicked goes to the first frame they have run in.
    if (!tickDrag->moving) {
      seek = firstFrameAfter(tickDrag->from);
    } else if (tickDrag->target != firstFrameAfter(tickDrag->from)) {
      tickMove = TickMove{tickDrag->from, tickDrag->target};
    }
    tickDrag.reset();
  } else if (!tickDrag && pressed) {
    // Elsewhere, clicked or dragged, to the frame under the pointer.
    std::uint64_t target = 0;
    if (pointer >= left) target = frameNearest(std::clamp(span.secondsAt(pointer, left, width), 0.0, length));
    if (!dragFrame || *dragFrame != target) {
      dragFrame = target;
      seek = target;
    }
  } else {
    dragFrame.reset();
  }
  if (!ImGui::IsWindowCollapsed()) stripHeight = ImGui::GetWindowHeight();
  ImGui::End();
}

}  // namespace glowmarch
