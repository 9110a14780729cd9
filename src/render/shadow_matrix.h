// The planar projection matrix that flattens geometry onto a plane along the
// rays from a light, for the tube shadows on the stage.
#pragma once

// shadowMatrix: 16 floats in GL's column order (element 4 k + r is row r of
// column k). light: homogeneous (x, y, z, w), w = 1 for a point light.
// plane: (a, b, c, d) with a x + b y + c z + d = 0 on the plane.
void buildShadowMatrix(float shadowMatrix[16], const float light[4], const float plane[4]);
