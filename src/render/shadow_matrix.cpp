#include "render/shadow_matrix.h"

void buildShadowMatrix(float shadowMatrix[16], const float light[4], const float plane[4]) {
    // Held as a float before use, so the diagonal rounds the way the rest does.
    const float dot = plane[0] * light[0] + plane[1] * light[1] + plane[2] * light[2] + plane[3] * light[3];
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            const float diagonal = row == column ? dot : 0.0f;
            shadowMatrix[4 * column + row] = diagonal - light[row] * plane[column];
        }
    }
}
