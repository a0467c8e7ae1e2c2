#include "effects/Camera.h"

#include <GL/glu.h>

#include <cmath>
#include <numbers>

namespace glowmarch {

Camera::Camera() {
  transform.point[0] = 0.0f;
  transform.point[1] = 0.0f;
  transform.point[2] = 1.0f;
  transform.direction[0] = 0.5f;
  transform.direction[1] = 0.5f;
  transform.direction[2] = 0.0f;
}

std::unique_ptr<Demoeffect> Camera::clone() const { return std::make_unique<Camera>(*this); }

void Camera::draw() {
  if (!advance()) return;
  const float* point = transform.point;
  const float* direction = transform.direction;

  // The doubling is done in float before the widening, as the show has always computed it.
  const double heading = static_cast<double>(direction[0] * 2.0f) * std::numbers::pi;
  const double polar = static_cast<double>(direction[1]) * std::numbers::pi;
  const float look[3] = {static_cast<float>(std::sin(heading) * std::sin(polar)),
                         static_cast<float>(std::cos(polar)),
                         static_cast<float>(std::cos(heading) * std::sin(polar))};

  glRotatef(direction[2] * 360.0f, 0.0f, 0.0f, 1.0f);
  gluLookAt(point[0], point[1], point[2], point[0] + look[0], point[1] + look[1], point[2] + look[2], 0.0, 1.0,
            0.0);

  glEnable(GL_NORMALIZE);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  static constexpr GLfloat ambientModel[] = {0.7f, 0.7f, 0.7f, 1.0f};
  static constexpr GLfloat ambientLight[] = {0.7f, 0.7f, 0.7f, 1.0f};
  static constexpr GLfloat specularLight[] = {1.0f, 1.0f, 1.0f, 1.0f};
  static constexpr GLfloat diffuseLight[] = {1.0f, 1.0f, 1.0f, 1.0f};
  // w = 0: a direction; given after the view, so it stays fixed in the world as the camera moves.
  static constexpr GLfloat lightDirection[] = {1.0f, 1.0f, 1.0f, 0.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambientModel);
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambientLight);
  glLightfv(GL_LIGHT0, GL_SPECULAR, specularLight);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuseLight);
  glLightfv(GL_LIGHT0, GL_POSITION, lightDirection);

  glEnable(GL_COLOR_MATERIAL);
  static constexpr GLfloat ambientMaterial[] = {0.6f, 0.6f, 0.6f, 1.0f};
  static constexpr GLfloat diffuseMaterial[] = {0.9f, 0.5f, 0.5f, 1.0f};
  static constexpr GLfloat specularMaterial[] = {0.6f, 0.6f, 0.6f, 1.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambientMaterial);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuseMaterial);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specularMaterial);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 60.0f);

  for (Demoeffect* child : children) {
    glPushMatrix();
    child->draw();
    glPopMatrix();
  }
}

}  // namespace glowmarch
