#include "render/shadow_matrix.h"
// TODO(scene): replaced by the shadow matrix.
void buildShadowMatrix(float[16], const float[4], const float[4]) {}
