#include "assets/icon.h"

#include <algorithm>
#include <cmath>

namespace {

// The shape in units of the icon's side, y down. The elbow bends round a
// centre near the lower left corner, from an end opening downwards to one
// opening to the left; each end carries a straight collar, a little wider
// than the tube.
constexpr double centreX = 0.24, centreY = 0.76;
constexpr double bendRadius = 0.52;   // to the tube's axis
constexpr double tubeRadius = 0.17;   // half the tube's width
constexpr double collarRadius = 0.2;  // half the collar's width
constexpr double collarLength = 0.2;

struct Colour {
    double r, g, b;
};
constexpr Colour copper = {0.86, 0.47, 0.24};
constexpr Colour steel = {0.72, 0.75, 0.8};

// What one point of the icon shows: inside or not, the material, where across
// the tube it lies (-1 inner side .. 1 outer side), the outward direction in
// the picture, and how far the nearest edge is (icon units).
struct Surface {
    bool inside = false;
    bool collar = false;
    double across = 0;
    double outX = 0, outY = 0;
    double edge = 0;
    double along = 0;  // collars only: 0 where the bend ends, 1 at the open end
    double joint = 1;  // collars only: how far the bend's end is
};

Surface surfaceAt(double x, double y) {
    Surface s;
    // The downward collar, below the bend's end on the right.
    const double dx = x - (centreX + bendRadius);
    if (y >= centreY && y <= centreY + collarLength && std::fabs(dx) <= collarRadius) {
        s = {true, true, dx / collarRadius, 1, 0, 0, (y - centreY) / collarLength, 1};
        s.edge = std::min(collarRadius - std::fabs(dx), centreY + collarLength - y);
        s.joint = y - centreY;
        return s;
    }
    // The leftward collar, left of the bend's end at the top.
    const double dy = (centreY - bendRadius) - y;
    if (x <= centreX && x >= centreX - collarLength && std::fabs(dy) <= collarRadius) {
        s = {true, true, dy / collarRadius, 0, -1, 0, (centreX - x) / collarLength, 1};
        s.edge = std::min(collarRadius - std::fabs(dy), x - (centreX - collarLength));
        s.joint = centreX - x;
        return s;
    }
    // The bend: a quarter of a ring.
    const double rx = x - centreX, ry = centreY - y;
    const double r = std::sqrt(rx * rx + ry * ry);
    if (rx >= 0 && ry >= 0 && std::fabs(r - bendRadius) <= tubeRadius) {
        s.inside = true;
        s.across = (r - bendRadius) / tubeRadius;
        s.outX = rx / r;
        s.outY = -ry / r;
        s.edge = tubeRadius - std::fabs(r - bendRadius);
    }
    return s;
}

// A round tube's light: the surface normal turns from the picture's plane at
// the tube's sides to the viewer along its middle.
// Small icons leave out the collars' groove, which would only darken them.
Colour shade(const Surface& s, bool detailed) {
    const double up = std::sqrt(std::max(0.0, 1 - s.across * s.across));
    const double nx = s.across * s.outX, ny = s.across * s.outY, nz = up;
    const double lx = -0.45, ly = -0.55, lz = 0.7;  // towards the light
    const double length = std::sqrt(lx * lx + ly * ly + lz * lz);
    const double diffuse = std::max(0.0, (nx * lx + ny * ly + nz * lz) / length);
    // The half-way vector between the light and the viewer (straight above).
    const double hx = lx / length, hy = ly / length, hz = lz / length + 1;
    const double hl = std::sqrt(hx * hx + hy * hy + hz * hz);
    const double specular = std::pow(std::max(0.0, (nx * hx + ny * hy + nz * hz) / hl), 24);
    Colour base = s.collar ? steel : copper;
    if (s.collar && detailed) {
        // A groove round the collar's middle and a bright lip at its open end.
        if (std::fabs(s.along - 0.45) < 0.08) base = {base.r * 0.6, base.g * 0.6, base.b * 0.6};
        if (s.along > 0.85) base = {base.r * 1.15, base.g * 1.15, base.b * 1.15};
    }
    const double light = 0.3 + 0.8 * diffuse;
    const double gloss = (s.collar ? 0.6 : 0.45) * specular;
    return {base.r * light + gloss, base.g * light + gloss, base.b * light + gloss};
}

}  // namespace

std::vector<float> iconPixels(int size) {
    constexpr int samples = 4;                       // per pixel and direction
    const double rim = (0.9 + size / 100.0) / size;  // icon units
    const bool detailed = size >= 32;
    std::vector<float> pixels(static_cast<std::size_t>(size) * size * 4, 0.0f);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double r = 0, g = 0, b = 0, covered = 0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    const Surface s = surfaceAt((x + (sx + 0.5) / samples) / size, (y + (sy + 0.5) / samples) / size);
                    if (!s.inside) continue;
                    Colour c = shade(s, detailed);
                    // The outline, and from 32 pixels on a thinner line where a collar meets the bend.
                    if (s.edge < rim || (detailed && s.joint < rim * 0.6)) c = {c.r * 0.3, c.g * 0.3, c.b * 0.3};
                    r += c.r;
                    g += c.g;
                    b += c.b;
                    covered += 1;
                }
            }
            float* p = &pixels[(static_cast<std::size_t>(y) * size + x) * 4];
            if (covered > 0) {
                p[0] = static_cast<float>(r / covered);
                p[1] = static_cast<float>(g / covered);
                p[2] = static_cast<float>(b / covered);
            }
            p[3] = static_cast<float>(covered / (samples * samples));
        }
    }
    return pixels;
}

std::vector<std::uint8_t> iconBytes(int size) {
    std::vector<std::uint8_t> bytes;
    for (const float channel : iconPixels(size))
        bytes.push_back(static_cast<std::uint8_t>(std::lround(std::clamp(channel, 0.0f, 1.0f) * 255.0f)));
    return bytes;
}
