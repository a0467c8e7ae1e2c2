#include "effects/ShowState.h"

#include "effects/EffectRegistry.h"
#include "effects/FrameValues.h"
#include "effects/KeptMeshes.h"
#include "effects/ParticleLayout.h"
#include "resources/ShaderLibrary.h"
#include "resources/TextureLibrary.h"

namespace glowmarch {

void clearShowState() {
  effects.clear();
  clearShaderLibrary();
  clearTextureLibrary();
  clearShowMeshes();
  resetFrameValues();
  restartParticleRandom();
}

void releaseShowState() {
  effects.clear();
  releaseShaderLibrary();
  releaseTextureLibrary();
  releaseShowMeshes();
  resetFrameValues();
  restartParticleRandom();
}

}  // namespace glowmarch
