#include "effects/Text.h"

#include "effects/BlendedTexturing.h"
#include "effects/LocalParameter.h"
#include "resources/TextureLibrary.h"

namespace glowmarch {

namespace {
constexpr float cellSize = 1.0f / 16.0f;  // the font is a 16 x 16 grid of glyphs
constexpr float glyphAdvance = 0.5f;

const LocalSetting<Text> settings[] = {
    {{"text", LocalValue::text, "the characters"}, [](Text& text, float, const char* value) { text.text = value; }},
    {{"append", LocalValue::text, "characters to add"},
     [](Text& text, float, const char* value) { text.text += value; }},
};

}  // namespace

Text::Text() { texture = findTexture("profont.png"); }

std::unique_ptr<Demoeffect> Text::clone() const { return std::make_unique<Text>(*this); }

void Text::local(float time, char* parameter) { applyLocal(*this, settings, time, parameter); }

std::vector<LocalWord> Text::localWords() { return declaredWords(settings); }

bool Text::advance() { return !text.empty() && Demoeffect::advance(); }

void Text::draw() {
  if (!advance()) return;
  drawPlaced();
  const BlendedTexturing blending;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned c = static_cast<unsigned char>(text[i]);
    if (c == 0) break;
    // Rows count from the top of the picture, which the upload put at t = 1.
    const float s0 = static_cast<float>(c % 16) * cellSize;
    const float s1 = s0 + cellSize;
    const float t0 = 1.0f - static_cast<float>(c / 16 + 1) * cellSize;
    const float t1 = t0 + cellSize;
    const float x0 = static_cast<float>(i) * glyphAdvance;
    const float x1 = static_cast<float>(i + 1) * glyphAdvance;
    // White, so the glyphs show the font's own colours and alpha.
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t1);
    glVertex3f(x0, 1.0f, 0.0f);
    glTexCoord2f(s0, t0);
    glVertex3f(x0, 0.0f, 0.0f);
    glTexCoord2f(s1, t0);
    glVertex3f(x1, 0.0f, 0.0f);
    glTexCoord2f(s1, t1);
    glVertex3f(x1, 1.0f, 0.0f);
    glEnd();
  }
}

}  // namespace glowmarch
