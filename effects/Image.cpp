#include "effects/Image.h"

#include <cstdlib>

#include "effects/BlendedTexturing.h"
#include "effects/LocalParameter.h"

namespace glowmarch {

namespace {
const LocalSetting<Image> settings[] = {
    {{"aspect", LocalValue::number, "width over height"},
     [](Image& image, float, const char* value) { image.aspect = std::atof(value); }},
};
}  // namespace

std::unique_ptr<Demoeffect> Image::clone() const { return std::make_unique<Image>(*this); }

void Image::local(float time, char* parameter) { applyLocal(*this, settings, time, parameter, UnknownWord::ignored); }

std::vector<LocalWord> Image::localWords() { return declaredWords(settings); }

void Image::draw() {
  if (!advance()) return;
  drawPlaced();
  const BlendedTexturing blending;
  // Nearest keeps pixel art crisp when a small picture fills the screen.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  const float h = static_cast<float>(aspect * 0.5);
  glColor3f(1.0f, 1.0f, 1.0f);
  glBegin(GL_QUADS);
  // t = 1 is the top of the picture: the upload put the bottom row first.
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(-h, 0.5f, 0.0f);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-h, -0.5f, 0.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(h, -0.5f, 0.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(h, 0.5f, 0.0f);
  glEnd();
  // Linear again whatever it was: the texture may be shared with objects that expect it.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

}  // namespace glowmarch
