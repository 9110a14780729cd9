#include "render/shadow_matrix.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Vec4 = std::array<double, 4>;

Vec4 transform(const float m[16], const Vec4& v) {
    Vec4 out = {0, 0, 0, 0};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) out[row] += m[4 * column + row] * v[column];
    }
    return out;
}

const float gameLight[4] = {8, 12, 8, 1};

TEST(ShadowMatrix, FlattensAPointOntoTheFloorAlongTheLightRay) {
    const float floor[4] = {0, 1, 0, 0};
    float m[16];
    buildShadowMatrix(m, gameLight, floor);
    const Vec4 image = transform(m, {0, 1, 0, 1});
    ASSERT_GT(image[3], 0) << "a shadow with negative w would be clipped away";
    EXPECT_NEAR(image[0] / image[3], -8.0 / 11.0, 1e-6);
    EXPECT_NEAR(image[1] / image[3], 0.0, 1e-6);
    EXPECT_NEAR(image[2] / image[3], -8.0 / 11.0, 1e-6);

    // A point on the floor stays where it is.
    const Vec4 onFloor = transform(m, {3, 0, -5, 1});
    EXPECT_NEAR(onFloor[0] / onFloor[3], 3.0, 1e-6);
    EXPECT_NEAR(onFloor[1] / onFloor[3], 0.0, 1e-6);
    EXPECT_NEAR(onFloor[2] / onFloor[3], -5.0, 1e-6);
}

TEST(ShadowMatrix, ImageLiesOnATiltedPlaneAndInLineWithTheLight) {
    // The plane x + 2y - z + 1 = 0 and a point light away from it.
    const float plane[4] = {1, 2, -1, 1};
    const float light[4] = {1, 6, 2, 1};
    float m[16];
    buildShadowMatrix(m, light, plane);
    const Vec4 points[] = {{0.5, 1, 0, 1}, {-2, 2, 1, 1}, {3, 0.5, -1, 1}};
    for (const Vec4& p : points) {
        const Vec4 h = transform(m, p);
        const double x = h[0] / h[3], y = h[1] / h[3], z = h[2] / h[3];
        EXPECT_NEAR(x + 2 * y - z + 1, 0.0, 1e-4);
        // Light, point and image on one line: (p - light) x (image - light) = 0.
        const double a[3] = {p[0] - light[0], p[1] - light[1], p[2] - light[2]};
        const double b[3] = {x - light[0], y - light[1], z - light[2]};
        EXPECT_NEAR(a[1] * b[2] - a[2] * b[1], 0.0, 1e-3);
        EXPECT_NEAR(a[2] * b[0] - a[0] * b[2], 0.0, 1e-3);
        EXPECT_NEAR(a[0] * b[1] - a[1] * b[0], 0.0, 1e-3);
    }
}

TEST(ShadowMatrix, FollowsTheScaleAndSignOfThePlane) {
    const float plane[4] = {0.25f, 1, -0.5f, 0.75f};
    float base[16], scaled[16], reversed[16];
    buildShadowMatrix(base, gameLight, plane);

    const float k = 2.5f;
    const float scaledPlane[4] = {plane[0] * k, plane[1] * k, plane[2] * k, plane[3] * k};
    buildShadowMatrix(scaled, gameLight, scaledPlane);

    const float reversedPlane[4] = {-plane[0], -plane[1], -plane[2], -plane[3]};
    buildShadowMatrix(reversed, gameLight, reversedPlane);

    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(scaled[i], k * base[i], 1e-4f * (1 + std::abs(k * base[i]))) << "element " << i;
        EXPECT_EQ(reversed[i], -base[i]) << "element " << i;
    }
    // The reversed plane puts w below zero, so GL clips the whole shadow.
    EXPECT_LT(transform(reversed, {0, 1, 0, 1})[3], 0);
}

}  // namespace
