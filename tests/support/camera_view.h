// Where scene points stand and land under the game's fixed camera, worked
// out by hand rather than through GL: eye (0, 14, 5) looking at (0, -3, -10)
// with y up, a vertical field of 45 degrees over a 1024 x 768 window.
#pragma once

#include <cmath>

#include "assets/model.h"

// Eye coordinates: x to the right, y up, -z straight ahead; scene units.
struct EyePoint {
    double x, y, z;
};

inline EyePoint eyeCoordinates(double x, double y, double z) {
    const double eye[3] = {0, 14, 5}, centre[3] = {0, -3, -10};
    double f[3] = {centre[0] - eye[0], centre[1] - eye[1], centre[2] - eye[2]};
    const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (double& v : f) v /= fl;
    // side = f x up, with up (0, 1, 0); then the true up = side x f.
    double s[3] = {-f[2], 0, f[0]};
    const double sl = std::sqrt(s[0] * s[0] + s[2] * s[2]);
    s[0] /= sl;
    s[2] /= sl;
    const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
    const double d[3] = {x - eye[0], y - eye[1], z - eye[2]};
    return {s[0] * d[0] + s[1] * d[1] + s[2] * d[2], u[0] * d[0] + u[1] * d[1] + u[2] * d[2],
            -(f[0] * d[0] + f[1] * d[1] + f[2] * d[2])};
}

// Window pixels, origin at the lower left, y up.
struct ScreenPoint {
    double x, y;
};

inline ScreenPoint projectToWindow(double x, double y, double z) {
    const EyePoint p = eyeCoordinates(x, y, z);
    const double focal = 1.0 / std::tan(22.5 * M_PI / 180);
    return {512 + 512 * focal / (1024.0 / 768.0) * p.x / -p.z, 384 + 384 * focal * p.y / -p.z};
}

// The scene point of texture coordinate (s, t) on a face, through the face's
// own affine mapping.
inline Vector3 pointAtTexCoord(const Model& model, const Face& face, double s, double t) {
    const float(*uv)[2] = face.texCoord;
    const double ds1 = uv[1][0] - uv[0][0], dt1 = uv[1][1] - uv[0][1];
    const double ds2 = uv[2][0] - uv[0][0], dt2 = uv[2][1] - uv[0][1];
    const double det = ds1 * dt2 - ds2 * dt1;
    const double a = ((s - uv[0][0]) * dt2 - ds2 * (t - uv[0][1])) / det;
    const double b = (ds1 * (t - uv[0][1]) - (s - uv[0][0]) * dt1) / det;
    const Vector3& p0 = model.positions[face.vertexIndex[0]];
    const Vector3& p1 = model.positions[face.vertexIndex[1]];
    const Vector3& p2 = model.positions[face.vertexIndex[2]];
    return {float(p0.x + a * (p1.x - p0.x) + b * (p2.x - p0.x)), float(p0.y + a * (p1.y - p0.y) + b * (p2.y - p0.y)),
            float(p0.z + a * (p1.z - p0.z) + b * (p2.z - p0.z))};
}
