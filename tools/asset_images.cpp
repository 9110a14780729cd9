// The five pictures besides the font: the tube's metal, the collars and end
// caps, the stage's surface, the pointer and the lightning arcs.
#include <algorithm>
#include <cmath>

#include "asset_files.h"

namespace {

constexpr double pi = 3.14159265358979323846;

// Value noise on a lattice that repeats every `period` cells in both
// directions, so that pictures built from it tile without a seam.
struct PeriodicNoise {
    int period = 1;              // lattice cells per repetition
    std::vector<double> values;  // period * period lattice values in -1..1
};

PeriodicNoise makeNoise(Random& random, int period) {
    PeriodicNoise noise;
    noise.period = period;
    for (int i = 0; i < period * period; ++i) noise.values.push_back(nextRange(random, -1.0, 1.0));
    return noise;
}

double smooth(double f) { return f * f * (3 - 2 * f); }

// x and y in repetitions: 0..1 covers one period.
double noiseAt(const PeriodicNoise& noise, double x, double y) {
    const int n = noise.period;
    const double fx = x * n - std::floor(x * n), fy = y * n - std::floor(y * n);
    const int ix = static_cast<int>(std::floor(x * n)), iy = static_cast<int>(std::floor(y * n));
    auto at = [&](int i, int j) {
        return noise.values[static_cast<size_t>(((j % n) + n) % n * n + ((i % n) + n) % n)];
    };
    const double a = at(ix, iy), b = at(ix + 1, iy), c = at(ix, iy + 1), d = at(ix + 1, iy + 1);
    const double sx = smooth(fx), sy = smooth(fy);
    return (a * (1 - sx) + b * sx) * (1 - sy) + (c * (1 - sx) + d * sx) * sy;
}

// Several octaves, each twice as fine and half as strong; about -1..1.
struct Fractal {
    std::vector<PeriodicNoise> octaves;
};

Fractal makeFractal(Random& random, int basePeriod, int octaveCount) {
    Fractal fractal;
    for (int i = 0; i < octaveCount; ++i) fractal.octaves.push_back(makeNoise(random, basePeriod << i));
    return fractal;
}

double fractalAt(const Fractal& fractal, double x, double y) {
    double sum = 0, weight = 1, total = 0;
    for (const PeriodicNoise& octave : fractal.octaves) {
        sum += weight * noiseAt(octave, x, y);
        total += weight;
        weight *= 0.5;
    }
    return sum / total;
}

void setPixel(Image& image, int x, int y, double r, double g, double b, double a) {
    float* p = pixelAt(image, x, y);
    p[0] = static_cast<float>(r);
    p[1] = static_cast<float>(g);
    p[2] = static_cast<float>(b);
    p[3] = static_cast<float>(a);
}

double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

// Copper with a fine grain along the tube (down the picture, t) and a few
// broad, soft variations. Bright, because the scene's light is dim.
Image tubeImage() {
    Random random{0x7B1E0001};
    const Fractal broad = makeFractal(random, 4, 3);
    const Fractal grain = makeFractal(random, 64, 2);
    Image image = makeImage(256, 256);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const double u = (x + 0.5) / 256, v = (y + 0.5) / 256;
            // Brushed lines run along v: the grain changes quickly across u only.
            const double line = fractalAt(grain, u, v / 16.0);
            const double soft = fractalAt(broad, u, v);
            const double shade = 0.9 + 0.07 * soft + 0.06 * line;
            setPixel(image, x, y, clamp01(0.98 * shade), clamp01(0.66 * shade), clamp01(0.42 * shade), 1.0);
        }
    }
    return image;
}

// Upper half (t 0.5..1): the collars' machined steel, grooves running round
// the tube. Lower half: the end cap's picture, a steel ring round a dark
// bore, centred at (0.5, 0.25) with radius 0.24.
Image endsImage() {
    Random random{0x7B1E0002};
    const Fractal grain = makeFractal(random, 64, 2);
    const Fractal broad = makeFractal(random, 4, 2);
    Image image = makeImage(256, 256);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const double u = (x + 0.5) / 256, t = 1.0 - (y + 0.5) / 256;
            const double line = fractalAt(grain, u / 16.0, t);
            double shade;
            if (t >= 0.5) {
                // v 0.5 at the body, 1 at the open end: three grooves and a bright lip.
                const double along = (t - 0.5) * 2;
                const double groove = std::pow(std::fabs(std::sin(along * pi * 3.0)), 0.35);
                shade = 0.72 + 0.22 * groove + 0.05 * line + 0.04 * fractalAt(broad, u, t);
                if (along > 0.9) shade = 1.0;
                if (along < 0.04) shade *= 0.7;
            } else {
                const double dx = (u - 0.5) / 0.24, dy = (t - 0.25) / 0.24;
                const double r = std::sqrt(dx * dx + dy * dy);
                if (r < 0.6) {
                    // The bore: darker towards its middle, lit a little on its far wall.
                    shade = 0.08 + 0.1 * r + 0.12 * clamp01(-dy) * r;
                } else if (r < 0.68) {
                    shade = 0.35 + 2.5 * (r - 0.6);  // chamfer into the bore
                } else {
                    const double ring = std::cos((r - 0.68) / 0.32 * pi * 0.5);
                    shade = 0.78 + 0.18 * ring + 0.04 * line;
                }
            }
            setPixel(image, x, y, clamp01(0.86 * shade), clamp01(0.9 * shade), clamp01(0.96 * shade), 1.0);
        }
    }
    return image;
}

// A quiet, cool grey stone that tiles in both directions, so that black text
// written over it reads well. The rows of t 0.25..0.3125 hold the stage
// rim's bevel instead: dark at the outer edge (t 0.25), a highlight, then
// the stone's own colour at the inner edge.
Image backgroundImage() {
    Random random{0x7B1E0003};
    const Fractal mottle = makeFractal(random, 4, 4);
    const Fractal grain = makeFractal(random, 128, 1);
    Image image = makeImage(256, 256);
    for (int y = 0; y < 256; ++y) {
        const double t = 1.0 - (y + 0.5) / 256;
        double bevel = 1.0;
        if (t >= 0.25 && t < 0.3125) {
            const double p = (t - 0.25) / 0.0625;  // 0 at the outer edge, 1 at the inner
            auto step = [](double a, double b, double x) { return smooth(clamp01((x - a) / (b - a))); };
            bevel = 0.3 + 0.95 * step(0.05, 0.55, p) - 0.25 * step(0.65, 1.0, p);
        }
        for (int x = 0; x < 256; ++x) {
            const double u = (x + 0.5) / 256, v = (y + 0.5) / 256;
            const double shade = bevel * (1.0 + 0.06 * fractalAt(mottle, u, v) + 0.02 * fractalAt(grain, u, v));
            setPixel(image, x, y, clamp01(0.56 * shade), clamp01(0.59 * shade), clamp01(0.63 * shade), 1.0);
        }
    }
    return image;
}

struct Vec2 {
    double x, y;
};

bool insidePolygon(const std::vector<Vec2>& polygon, double x, double y) {
    bool inside = false;
    for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const Vec2 a = polygon[i], b = polygon[j];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
    }
    return inside;
}

double segmentDistance(Vec2 p, Vec2 a, Vec2 b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    double f = ((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy);
    f = f < 0 ? 0 : (f > 1 ? 1 : f);
    const double ex = p.x - a.x - f * dx, ey = p.y - a.y - f * dy;
    return std::sqrt(ex * ex + ey * ey);
}

double edgeDistance(const std::vector<Vec2>& polygon, Vec2 p) {
    double best = 1e9;
    for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        best = std::min(best, segmentDistance(p, polygon[j], polygon[i]));
    }
    return best;
}

// A white arrow with a dark rim and a soft shadow; its tip is the picture's
// top-left corner, the pointer's hot spot.
Image cursorImage() {
    const std::vector<Vec2> arrow = {{0, 0}, {0, 48}, {12, 37}, {21, 58}, {29, 54}, {20, 34}, {35, 34}};
    constexpr double rim = 3.5;         // pixels of dark rim inside the outline
    constexpr int samples = 4;          // per pixel and direction
    constexpr double shadowOffset = 3;  // pixels right and down
    Image image = makeImage(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            double fill = 0, dark = 0, shadow = 0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    const Vec2 p{x + (sx + 0.5) / samples, y + (sy + 0.5) / samples};
                    if (insidePolygon(arrow, p.x, p.y)) {
                        if (edgeDistance(arrow, p) < rim) {
                            dark += 1;
                        } else {
                            fill += 1;
                        }
                    } else if (insidePolygon(arrow, p.x - shadowOffset, p.y - shadowOffset)) {
                        shadow += 1;
                    }
                }
            }
            const double n = samples * samples;
            fill /= n;
            dark /= n;
            shadow /= n;
            const double alpha = fill + dark + 0.35 * shadow;
            const double white = 1.0 - 0.15 * y / 64.0;  // a slight sheen from the top
            const double grey = alpha > 0 ? (fill * white + dark * 0.08) / alpha : 0.0;
            setPixel(image, x, y, grey, grey, grey, clamp01(alpha));
        }
    }
    return image;
}

// Jagged arcs running down the picture (along the tube), each one closing on
// itself across the bottom edge, with shorter side branches: white cores in a
// blue glow, opaque where the light is, over a faint blue haze. The picture
// tiles both ways, since the overlay scrolls and turns it.
struct Arc {
    std::vector<Vec2> points;  // pixels, y from the top
    double strength;           // 0..1
};

void displace(Random& random, std::vector<Vec2>& points, Vec2 a, Vec2 b, double spread, int depth) {
    if (depth == 0) {
        points.push_back(b);
        return;
    }
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length = std::sqrt(dx * dx + dy * dy);
    const double offset = nextRange(random, -spread, spread) * length;
    const Vec2 middle{(a.x + b.x) / 2 - dy / length * offset, (a.y + b.y) / 2 + dx / length * offset};
    displace(random, points, a, middle, spread, depth - 1);
    displace(random, points, middle, b, spread, depth - 1);
}

std::vector<Arc> lightningArcs(Random& random) {
    std::vector<Arc> arcs;
    const double starts[] = {40, 128, 214};
    for (double x0 : starts) {
        Arc arc;
        arc.strength = 1.0;
        const Vec2 top{x0 + nextRange(random, -16, 16), 0};
        const Vec2 bottom{top.x, 256};
        arc.points.push_back(top);
        displace(random, arc.points, top, bottom, 0.22, 6);
        arcs.push_back(arc);
        // Two or three branches leave the arc and fade out.
        const int branches = 2 + static_cast<int>(nextUnit(random) * 2);
        for (int b = 0; b < branches; ++b) {
            const size_t at = 4 + static_cast<size_t>(nextUnit(random) * (arc.points.size() - 8));
            const Vec2 from = arc.points[at];
            const double angle = nextRange(random, 0.35, 0.9) * (nextUnit(random) < 0.5 ? -1 : 1);
            const double reach = nextRange(random, 30, 60);
            const Vec2 to{from.x + std::sin(angle) * reach, from.y + std::cos(angle) * reach};
            Arc branch;
            branch.strength = 0.55;
            branch.points.push_back(from);
            displace(random, branch.points, from, to, 0.25, 4);
            arcs.push_back(branch);
        }
    }
    return arcs;
}

Image lightningImage() {
    Random random{0x7B1E0004};
    const std::vector<Arc> arcs = lightningArcs(random);
    constexpr int size = 256;
    constexpr double coreWidth = 1.8, glowWidth = 6.5, reach = 18.0;  // pixels
    std::vector<double> core(size * size, 0.0), glow(size * size, 0.0);
    for (const Arc& arc : arcs) {
        for (size_t i = 0; i + 1 < arc.points.size(); ++i) {
            const Vec2 a = arc.points[i], b = arc.points[i + 1];
            // Branches thin out towards their tips.
            const double fade = arc.strength < 1 ? 1.0 - static_cast<double>(i) / arc.points.size() : 1.0;
            const int x0 = static_cast<int>(std::floor(std::min(a.x, b.x) - reach));
            const int x1 = static_cast<int>(std::ceil(std::max(a.x, b.x) + reach));
            const int y0 = static_cast<int>(std::floor(std::min(a.y, b.y) - reach));
            const int y1 = static_cast<int>(std::ceil(std::max(a.y, b.y) + reach));
            for (int y = y0; y <= y1; ++y) {
                for (int x = x0; x <= x1; ++x) {
                    const double d = segmentDistance({x + 0.5, y + 0.5}, a, b);
                    const size_t index =
                        static_cast<size_t>(((y % size) + size) % size * size + ((x % size) + size) % size);
                    const double c = arc.strength * fade * std::exp(-(d * d) / (coreWidth * coreWidth));
                    const double g = arc.strength * fade * std::exp(-(d * d) / (glowWidth * glowWidth));
                    core[index] = std::max(core[index], c);
                    glow[index] = std::max(glow[index], g);
                }
            }
        }
    }
    // Under the arcs a faint blue glow that drifts in brightness: with alpha
    // blending it tints the tube, and where the overlay's colour replaces the
    // tube's (blending by the source colour over an opaque tube) the tube
    // still glows blue instead of turning black.
    const Fractal plasma = makeFractal(random, 4, 3);
    Image image = makeImage(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double c = core[static_cast<size_t>(y * size + x)], g = glow[static_cast<size_t>(y * size + x)];
            const double haze = 0.75 + 0.25 * fractalAt(plasma, (x + 0.5) / size, (y + 0.5) / size);
            const double r = 0.2 * haze * (1 - g) + c + 0.3 * g;
            const double gr = 0.42 * haze * (1 - g) + c + 0.6 * g;
            const double b = 1.0 * haze * (1 - g) + c + 1.0 * g;
            setPixel(image, x, y, clamp01(r), clamp01(gr), clamp01(b),
                     clamp01(std::max(0.3 * haze, std::max(c, 0.9 * g))));
        }
    }
    return image;
}

}  // namespace

void writeImages(const std::filesystem::path& root) {
    writeTga(root / "Texture" / "Tube.tga", tubeImage());
    writeTga(root / "Texture" / "Ends.tga", endsImage());
    writeTga(root / "Texture" / "Background.tga", backgroundImage());
    writeTga(root / "Texture" / "Cursor.tga", cursorImage());
    writeTga(root / "Texture" / "Lightning.tga", lightningImage());
}
