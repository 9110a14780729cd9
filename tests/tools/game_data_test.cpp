// What the game relies on in its committed data: the models' shapes and
// texture coordinates, the pictures' layout, alpha and seams, the sounds' form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "assets/image.h"
#include "assets/model.h"
#include "assets/model_draw.h"
#include "support/camera_view.h"
#include "support/loaded_model.h"

namespace {

constexpr double pi = 3.14159265358979323846;

LoadedModel load(const char* path, std::uint32_t slotBase) { return loadModelFile(path, slotBase); }

double dot(const Vector3& a, const Vector3& b) { return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z; }
Vector3 minus(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double length(const Vector3& v) { return std::sqrt(dot(v, v)); }

// The elbow's centre line is the quarter circle of radius 0.5 about the cell
// corner (-0.5, 0, 0.5) from (0, 0, 0.5) to (-0.5, 0, 0). For a point: the
// angle along it (0 at the +z end, pi / 2 at the -x end) and the nearest
// centre-line point.
double bendAngle(const Vector3& p) {
    const double phi = std::atan2(0.5 - p.z, p.x + 0.5);
    return std::clamp(phi, 0.0, pi / 2);
}
Vector3 centreLinePoint(double phi) {
    return {float(-0.5 + 0.5 * std::cos(phi)), 0.0f, float(0.5 - 0.5 * std::sin(phi))};
}
double distanceFromCentreLine(const Vector3& p) { return length(minus(p, centreLinePoint(bendAngle(p)))); }

const Vector3& corner(const Model& model, const Face& face, int k) { return model.positions[face.vertexIndex[k]]; }

// The lowest and highest texture coordinate (0 for s, 1 for t) over a face's corners.
std::pair<double, double> texRange(const Face& face, int axis) {
    const double a = face.texCoord[0][axis], b = face.texCoord[1][axis], c = face.texCoord[2][axis];
    return {std::min({a, b, c}), std::max({a, b, c})};
}

double lowestY(const Model& model) {
    double lowest = 1e9;
    for (int i = 0; i < model.vertexCount; ++i) lowest = std::min(lowest, double(model.positions[i].y));
    return lowest;
}

// --- Tube.OBJ ---

TEST(TubeModel, HasTheBodyAndEndsMaterialsWithinTheTriangleBudget) {
    const LoadedModel tube = load("Model/Tube.OBJ", 2);
    ASSERT_NE(tube, nullptr);
    ASSERT_EQ(tube->materialCount, 2);
    EXPECT_EQ(tube->materials[0].textureSlot, 2);  // tube texture
    EXPECT_EQ(tube->materials[1].textureSlot, 3);  // ends texture
    EXPECT_GT(tube->materials[0].lastFace - tube->materials[0].firstFace + 1, 0);
    EXPECT_GT(tube->materials[1].lastFace - tube->materials[1].firstFace + 1, 0);
    // 225 tubes are drawn three times a frame on a software renderer.
    EXPECT_LE(tube->faceCount, 140);
    EXPECT_GE(tube->faceCount, 64);
}

TEST(TubeModel, OpensExactlyOnTheCellsMinusXAndPlusZSidesAtCentreHeight) {
    const LoadedModel tube = load("Model/Tube.OBJ", 2);
    ASSERT_NE(tube, nullptr);
    const Vector3 minusX{-0.5f, 0, 0}, plusZ{0, 0, 0.5f};
    std::vector<double> minusXRadii, plusZRadii;
    for (int i = 0; i < tube->vertexCount; ++i) {
        const Vector3& p = tube->positions[i];
        EXPECT_GE(p.x, -0.5f - 1e-5f);
        EXPECT_LE(p.x, 0.45f) << "nothing reaches the +x side";
        EXPECT_LE(p.z, 0.5f + 1e-5f);
        EXPECT_GE(p.z, -0.45f) << "nothing reaches the -z side";
        if (std::fabs(p.x + 0.5f) < 1e-5f) minusXRadii.push_back(length(minus(p, minusX)));
        if (std::fabs(p.z - 0.5f) < 1e-5f) plusZRadii.push_back(length(minus(p, plusZ)));
    }
    ASSERT_GE(minusXRadii.size(), 6u);
    ASSERT_GE(plusZRadii.size(), 6u);
    // Each end is a ring centred on its side's midpoint, the same on both
    // sides, so that it meets the neighbour's end across the border.
    const double radius = minusXRadii[0];
    EXPECT_GT(radius, 0.1);
    EXPECT_LT(radius, 0.35);
    for (double r : minusXRadii) EXPECT_NEAR(r, radius, 1e-4);
    for (double r : plusZRadii) EXPECT_NEAR(r, radius, 1e-4);

    // The faces in the end planes close the ends with the ends texture and
    // face out of the cell.
    int minusXFaces = 0, plusZFaces = 0;
    for (int f = 0; f < tube->faceCount; ++f) {
        const Face& face = tube->faces[f];
        bool onMinusX = true, onPlusZ = true;
        for (int k = 0; k < 3; ++k) {
            onMinusX = onMinusX && std::fabs(corner(*tube, face, k).x + 0.5f) < 1e-5f;
            onPlusZ = onPlusZ && std::fabs(corner(*tube, face, k).z - 0.5f) < 1e-5f;
        }
        if (!onMinusX && !onPlusZ) continue;
        EXPECT_GE(f, tube->materials[1].firstFace) << "end face " << f << " is drawn with the body's texture";
        if (onMinusX) {
            ++minusXFaces;
            EXPECT_LT(face.normal.x, -0.99f);
        } else {
            ++plusZFaces;
            EXPECT_GT(face.normal.z, 0.99f);
        }
    }
    EXPECT_GT(minusXFaces, 0);
    EXPECT_GT(plusZFaces, 0);
}

// Back faces are culled: the surface must be closed and every face must
// turn its counter-clockwise side outwards. Matching the edges by position,
// each edge is walked once in each direction, and the enclosed volume is
// positive.
TEST(TubeModel, IsAClosedSurfaceWithEveryFaceTurnedOutwards) {
    const LoadedModel tube = load("Model/Tube.OBJ", 2);
    ASSERT_NE(tube, nullptr);
    using Key = std::tuple<float, float, float>;
    auto key = [&](int index) {
        const Vector3& p = tube->positions[index];
        return Key{p.x, p.y, p.z};
    };
    std::map<std::pair<Key, Key>, int> edges;
    double volume = 0;
    for (int f = 0; f < tube->faceCount; ++f) {
        const Face& face = tube->faces[f];
        for (int k = 0; k < 3; ++k) ++edges[{key(face.vertexIndex[k]), key(face.vertexIndex[(k + 1) % 3])}];
        const Vector3 &a = corner(*tube, face, 0), &b = corner(*tube, face, 1), &c = corner(*tube, face, 2);
        volume += (double(a.x) * (double(b.y) * c.z - double(b.z) * c.y) -
                   double(a.y) * (double(b.x) * c.z - double(b.z) * c.x) +
                   double(a.z) * (double(b.x) * c.y - double(b.y) * c.x)) /
                  6.0;
    }
    for (const auto& [edge, count] : edges) {
        EXPECT_EQ(count, 1) << "an edge walked twice the same way: two faces disagree on their front";
        const auto reverse = edges.find({edge.second, edge.first});
        EXPECT_TRUE(reverse != edges.end()) << "an open edge: the surface has a hole";
    }
    // A quarter of a torus of tube radius about 0.2: near pi * 0.2^2 * 0.785.
    EXPECT_GT(volume, 0.03);
    EXPECT_LT(volume, 0.25);

    // The body faces look away from the centre line.
    for (int f = tube->materials[0].firstFace; f <= tube->materials[0].lastFace; ++f) {
        const Face& face = tube->faces[f];
        const Vector3 out = minus(face.centre, centreLinePoint(bendAngle(face.centre)));
        EXPECT_GT(dot(face.normal, out) / length(out), 0.8) << "body face " << f;
    }
}

// The loader smooths the normals over shared vertices; for the tube to look
// round its rings must share their vertices, so that every body vertex gets
// a normal pointing straight away from the centre line.
TEST(TubeModel, BodyVertexNormalsPointAwayFromTheCentreLine) {
    const LoadedModel tube = load("Model/Tube.OBJ", 2);
    ASSERT_NE(tube, nullptr);
    std::vector<bool> body(tube->vertexCount, false);
    for (int f = tube->materials[0].firstFace; f <= tube->materials[0].lastFace; ++f) {
        for (int k = 0; k < 3; ++k) body[tube->faces[f].vertexIndex[k]] = true;
    }
    int checked = 0;
    for (int i = 0; i < tube->vertexCount; ++i) {
        if (!body[i]) continue;
        const Vector3 out = minus(tube->positions[i], centreLinePoint(bendAngle(tube->positions[i])));
        EXPECT_GT(dot(tube->normals[i], out) / length(out), 0.97) << "vertex " << i;
        ++checked;
    }
    EXPECT_GE(checked, 24);
}

// --- Tube2.OBJ ---

TEST(LightningShell, WrapsTheWholeTubeAndFacesOutwards) {
    const LoadedModel tube = load("Model/Tube.OBJ", 2);
    const LoadedModel shell = load("Model/Tube2.OBJ", 4);
    ASSERT_NE(tube, nullptr);
    ASSERT_NE(shell, nullptr);
    EXPECT_LE(shell->faceCount, 128);
    double tubeReach = 0;
    for (int i = 0; i < tube->vertexCount; ++i)
        tubeReach = std::max(tubeReach, distanceFromCentreLine(tube->positions[i]));
    // Every shell face lies farther out than any point of the tube, and looks
    // away from it.
    for (int f = 0; f < shell->faceCount; ++f) {
        const Face& face = shell->faces[f];
        const Vector3 out = minus(face.centre, centreLinePoint(bendAngle(face.centre)));
        EXPECT_GT(length(out), tubeReach) << "shell face " << f << " cuts into the tube";
        EXPECT_GT(dot(face.normal, out) / length(out), 0.8) << "shell face " << f;
    }
    // It reaches both open ends.
    double firstAngle = pi, lastAngle = 0;
    for (int i = 0; i < shell->vertexCount; ++i) {
        firstAngle = std::min(firstAngle, bendAngle(shell->positions[i]));
        lastAngle = std::max(lastAngle, bendAngle(shell->positions[i]));
    }
    EXPECT_NEAR(firstAngle, 0.0, 1e-4);
    EXPECT_NEAR(lastAngle, pi / 2, 1e-4);
}

// The overlay scrolls the lightning along t: t must grow steadily from one
// end of the shell to the other, over at least one whole picture, and not
// change around the tube.
TEST(LightningShell, TextureRunsAlongTheTube) {
    const LoadedModel shell = load("Model/Tube2.OBJ", 4);
    ASSERT_NE(shell, nullptr);
    std::vector<std::pair<double, double>> angleAndT;
    for (int f = 0; f < shell->faceCount; ++f) {
        for (int k = 0; k < 3; ++k) {
            angleAndT.push_back({bendAngle(corner(*shell, shell->faces[f], k)), shell->faces[f].texCoord[k][1]});
        }
    }
    std::sort(angleAndT.begin(), angleAndT.end());
    for (size_t i = 1; i < angleAndT.size(); ++i) {
        const double dAngle = angleAndT[i].first - angleAndT[i - 1].first;
        const double dT = std::fabs(angleAndT[i].second - angleAndT[i - 1].second);
        if (dAngle < 1e-4) {
            EXPECT_LT(dT, 1e-4) << "t changes around the tube";
        } else {
            EXPECT_GT(dT, 0.5 * dAngle / (pi / 2)) << "t does not follow the tube";
        }
    }
    EXPECT_GE(std::fabs(angleAndT.back().second - angleAndT.front().second), 0.99);
}

// --- Stage.OBJ ---

bool insideFace(const Model& model, const Face& face, double x, double z) {
    double sign = 0;
    for (int k = 0; k < 3; ++k) {
        const Vector3 &a = corner(model, face, k), &b = corner(model, face, (k + 1) % 3);
        const double cross = (double(b.x) - a.x) * (z - a.z) - (double(b.z) - a.z) * (x - a.x);
        if (std::fabs(cross) < 1e-9) continue;
        if (sign == 0) sign = cross;
        if (sign * cross < 0) return false;
    }
    return true;
}

bool onStage(const Model& stage, double x, double z) {
    for (int f = 0; f < stage.faceCount; ++f) {
        if (insideFace(stage, stage.faces[f], x, z)) return true;
    }
    return false;
}

TEST(StageModel, FloorLiesUnderTheTubesWithFaceZerosNormalUp) {
    const LoadedModel stage = load("Model/Stage.OBJ", 4);
    const LoadedModel tube = load("Model/Tube.OBJ", 2);
    ASSERT_NE(stage, nullptr);
    ASSERT_NE(tube, nullptr);
    ASSERT_GE(stage->materialCount, 1);
    // The floor's own material names no loaded picture: the score texture
    // drawn over the same faces is the opaque background picture and hides
    // it, so sampling a picture here would only cost fill.
    const int floorSlot = stage->materials[0].textureSlot;
    EXPECT_TRUE(floorSlot < 1 || floorSlot > textureSlotCount) << "slot " << floorSlot;
    const float* plane = stage->faces[0].plane;
    EXPECT_GT(plane[1], 0.0f) << "the shadow matrix needs the floor's normal pointing up, to the light";
    EXPECT_NEAR(plane[0] / plane[1], 0.0, 1e-6);
    EXPECT_NEAR(plane[2] / plane[1], 0.0, 1e-6);
    // The floor's height is the tubes' lowest point.
    EXPECT_NEAR(-plane[3] / plane[1], lowestY(*tube), 1e-5);
    // It reaches under the whole board (x -7.5..7.5, z -15.5..-0.5) and a
    // margin round it for the shadows.
    for (double x = -8.5; x <= 8.5; x += 0.5) {
        for (double z = -16.5; z <= 0.0; z += 0.5) EXPECT_TRUE(onStage(*stage, x, z)) << x << ", " << z;
    }
}

// The score texture is 256 x 256: "Score N" on rows 235..251 and "Best N" on
// rows 215..231, 16 pixels a character from s = 0. Through the stage's
// texture coordinates both lines must land on the floor behind the board,
// on screen, large, and once only, even though the texture repeats.
TEST(StageModel, ScoreLinesLandLargeOnTheFloorBehindTheBoardAndOnlyOnce) {
    const LoadedModel stage = load("Model/Stage.OBJ", 4);
    ASSERT_NE(stage, nullptr);
    const Face& face = stage->faces[0];
    const double floorY = -face.plane[3] / face.plane[1];
    constexpr int characters = 11;  // "Score 12345"
    const double sEnd = characters / 16.0;
    struct Line {
        double tBottom, tTop;
    };
    const Line score{235 / 256.0, 251 / 256.0}, best{215 / 256.0, 231 / 256.0};
    // The far row of tubes: its top edge on screen, the highest any tube reaches.
    double boardTop = 0;
    for (double x = -7.5; x <= 7.5; x += 0.5) boardTop = std::max(boardTop, projectToWindow(x, 0.3, -15.5).y);

    double previousLineBottom = 0;
    for (const Line& line : {best, score}) {
        const double corners[4][2] = {{0, line.tBottom}, {sEnd, line.tBottom}, {0, line.tTop}, {sEnd, line.tTop}};
        ScreenPoint screen[4];
        for (int c = 0; c < 4; ++c) {
            const Vector3 p = pointAtTexCoord(*stage, face, corners[c][0], corners[c][1]);
            EXPECT_NEAR(p.y, floorY, 1e-4);
            EXPECT_TRUE(onStage(*stage, p.x, p.z)) << "text corner off the stage at " << p.x << ", " << p.z;
            EXPECT_LT(p.z, -16.5) << "text under the board or its shadows";
            screen[c] = projectToWindow(p.x, p.y, p.z);
            EXPECT_GE(screen[c].x, 0);
            EXPECT_LE(screen[c].x, 1024);
            EXPECT_GT(screen[c].y, boardTop) << "text hidden behind the far tubes";
            EXPECT_LE(screen[c].y, 768);
        }
        // A character at least 30 pixels high and wide on screen.
        const double height = std::min(screen[2].y - screen[0].y, screen[3].y - screen[1].y);
        const double width = std::min(screen[1].x - screen[0].x, screen[3].x - screen[2].x) / characters;
        EXPECT_GE(height, 30.0);
        EXPECT_GE(width, 30.0);
        // The score line reads above the best line.
        EXPECT_GT(std::min(screen[0].y, screen[1].y), previousLineBottom);
        previousLineBottom = std::max(screen[2].y, screen[3].y);
    }

    // No other copy of the text rectangle (shifted by whole repeats of the
    // texture) falls within any stage face's texture coordinates.
    for (int f = 0; f < stage->faceCount; ++f) {
        const auto [sMin, sMax] = texRange(stage->faces[f], 0);
        const auto [tMin, tMax] = texRange(stage->faces[f], 1);
        for (int i = -3; i <= 3; ++i) {
            for (int j = -3; j <= 3; ++j) {
                if (i == 0 && j == 0) continue;
                const bool overlaps = i + sEnd > sMin && i < sMax && j + score.tTop > tMin && j + best.tBottom < tMax;
                EXPECT_FALSE(overlaps) << "face " << f << " shows the text a second time, shifted by " << i << ", "
                                       << j;
            }
        }
    }
}

// --- The pictures ---

Image readImage(const char* path) {
    Image image;
    EXPECT_TRUE(readTgaFile(path, image)) << path;
    return image;
}

// Channel c of the pixel at x from the left and y from the TOP (the reader
// keeps rows bottom first).
int channel(const Image& image, int x, int yFromTop, int c) {
    const int row = image.height - 1 - yFromTop;
    return image.pixels[(static_cast<size_t>(row) * image.width + x) * image.channels + c];
}

// Rows of ink in a font cell: for glyph g, the number of pixels with alpha
// above half in each of its 16 rows, top row first.
std::vector<int> inkRows(const Image& font, int glyph) {
    std::vector<int> rows(16, 0);
    const int left = (glyph % 16) * 16, top = (glyph / 16) * 16;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) rows[y] += channel(font, left + x, top + y, 3) > 127;
    }
    return rows;
}

// The first and last row with ink, -1 when there is none.
int firstInkRow(const std::vector<int>& rows) {
    const auto it = std::find_if(rows.begin(), rows.end(), [](int n) { return n > 0; });
    return it == rows.end() ? -1 : int(it - rows.begin());
}
int lastInkRow(const std::vector<int>& rows) {
    const auto it = std::find_if(rows.rbegin(), rows.rend(), [](int n) { return n > 0; });
    return it == rows.rend() ? -1 : int(rows.rend() - it) - 1;
}

TEST(FontImage, HoldsTheGlyphsInCharacterOrderWithRowZeroAtTheTop) {
    const Image font = readImage("Texture/Font.tga");
    ASSERT_EQ(font.width, 256);
    ASSERT_EQ(font.height, 256);
    ASSERT_EQ(font.channels, 4);
    // Space first, empty; every printable character has ink, in both sets.
    for (int x = 0; x < 16; ++x) {
        for (int y = 0; y < 16; ++y) EXPECT_EQ(channel(font, x, y, 3), 0);
    }
    for (int code = 33; code <= 126; ++code) {
        for (int set = 0; set < 2; ++set) {
            const std::vector<int> rows = inkRows(font, code - 32 + 128 * set);
            EXPECT_GE(firstInkRow(rows), 0) << "no ink for character " << code << " in set " << set;
        }
    }
    // 'A' (glyph 33) is narrow at its top and wide at its foot; 'V' (54) the
    // other way round: a picture upside down or a grid shifted by a cell
    // fails here.
    const std::vector<int> a = inkRows(font, 'A' - 32), v = inkRows(font, 'V' - 32);
    EXPECT_LT(a[firstInkRow(a)], a[lastInkRow(a)]);
    EXPECT_GT(v[firstInkRow(v)], v[lastInkRow(v)]);
    // '_' (63) sits low in its cell, '-' (13) in the middle, and the capital
    // 'S' (51) and the digits (16..25) share one baseline.
    EXPECT_GE(firstInkRow(inkRows(font, '_' - 32)), 12);
    const std::vector<int> dash = inkRows(font, '-' - 32);
    EXPECT_GE(firstInkRow(dash), 5);
    EXPECT_LE(lastInkRow(dash), 10);
    const int baseline = lastInkRow(inkRows(font, 'S' - 32));
    for (int digit = '0'; digit <= '9'; ++digit) EXPECT_EQ(lastInkRow(inkRows(font, digit - 32)), baseline);
    // The text's colour comes from glColor: the plain set is white wherever it
    // has any alpha.
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 256; ++x) {
            if (channel(font, x, y, 3) == 0) continue;
            for (int c = 0; c < 3; ++c) ASSERT_EQ(channel(font, x, y, c), 255) << x << ", " << y;
        }
    }
}

// Mean absolute difference across the wrap (last column against the first,
// or last row against the first) over the mean difference between the
// neighbouring columns (rows) on either side of it: near 1 for a picture
// that tiles without a seam, large where the edges do not meet.
double seamRatio(const Image& image, bool acrossColumns) {
    const int n = acrossColumns ? image.height : image.width;
    const int m = acrossColumns ? image.width : image.height;
    double seam = 0, beside = 0;
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < 4; ++c) {
            auto at = [&](int j) {
                j = (j + m) % m;
                return acrossColumns ? channel(image, j, i, c) : channel(image, i, j, c);
            };
            seam += std::abs(at(m - 1) - at(0));
            for (int j : {m - 3, m - 2, 0, 1}) beside += std::abs(at(j + 1) - at(j));
        }
    }
    return seam / (beside / 4 + 1e-9);
}

TEST(Pictures, AreRgbaWithThePowerOfTwoSidesMipmapsNeed) {
    for (const char* path : {"Texture/Font.tga", "Texture/Tube.tga", "Texture/Ends.tga", "Texture/Background.tga",
                             "Texture/Cursor.tga", "Texture/Lightning.tga"}) {
        const Image image = readImage(path);
        EXPECT_EQ(image.channels, 4) << path;
        EXPECT_GT(image.width, 0);
        EXPECT_EQ(image.width & (image.width - 1), 0) << path;
        EXPECT_EQ(image.height & (image.height - 1), 0) << path;
    }
    for (const char* path : {"Texture/Tube.tga", "Texture/Ends.tga", "Texture/Background.tga"}) {
        const Image image = readImage(path);
        for (size_t i = 3; i < image.pixels.size(); i += 4) ASSERT_EQ(image.pixels[i], 255) << path << " is not opaque";
    }
}

// Over the rows that the stage's floor (face 0) shows, where the score is
// written, the background is quiet and bright enough for black text.
TEST(Pictures, BackgroundIsQuietUnderBlackTextAndTilesWithoutASeam) {
    const Image image = readImage("Texture/Background.tga");
    const LoadedModel stage = load("Model/Stage.OBJ", 4);
    ASSERT_NE(stage, nullptr);
    const auto [tLow, tHigh] = texRange(stage->faces[0], 1);
    double sum = 0, squares = 0;
    int count = 0;
    for (int y = 0; y < image.height; ++y) {
        const double t = 1.0 - (y + 0.5) / image.height;
        // Within the floor's range, or within its part repeated past t = 1.
        if (!((t >= tLow && t <= tHigh) || t + 1 <= tHigh)) continue;
        for (int x = 0; x < image.width; ++x) {
            const double luminance =
                (0.3 * channel(image, x, y, 0) + 0.59 * channel(image, x, y, 1) + 0.11 * channel(image, x, y, 2)) /
                255.0;
            sum += luminance;
            squares += luminance * luminance;
            ++count;
        }
    }
    ASSERT_GT(count, image.width * image.height / 4);
    const double mean = sum / count, spread = std::sqrt(squares / count - mean * mean);
    EXPECT_GT(mean, 0.4) << "too dark for black text";
    EXPECT_LT(mean, 0.85) << "too bright beside the lit tubes";
    EXPECT_LT(spread, 0.05) << "too busy for text";
    // The stage repeats the picture across its width.
    EXPECT_LT(seamRatio(image, true), 2.0);
    EXPECT_LT(seamRatio(image, false), 2.0);
}

TEST(Pictures, CursorArrowHasItsTipAtTheTopLeftCorner) {
    const Image cursor = readImage("Texture/Cursor.tga");
    const int w = cursor.width, h = cursor.height;
    EXPECT_GE(channel(cursor, 0, 0, 3), 100) << "the hot spot pixel is transparent";
    EXPECT_EQ(channel(cursor, w - 1, 0, 3), 0);
    EXPECT_EQ(channel(cursor, w - 1, h - 1, 3), 0);
    EXPECT_EQ(channel(cursor, 0, h - 1, 3), 0);
    // Everything opaque lies below and right of the tip, and the arrow has a
    // white body inside a dark rim.
    int white = 0, dark = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (channel(cursor, x, y, 3) < 250) continue;
            const int grey = channel(cursor, x, y, 0);
            white += grey > 220;
            dark += grey < 60;
            EXPECT_LE(x, y + 2) << "opaque pixel above the arrow's left edge at " << x << ", " << y;
        }
    }
    EXPECT_GT(white, w * h / 20);
    EXPECT_GT(dark, w * h / 40);
}

TEST(Pictures, LightningHasBrightBlueWhiteArcsOverAThinHazeAndTiles) {
    const Image image = readImage("Texture/Lightning.tga");
    const int count = image.width * image.height;
    int arcs = 0, faint = 0;
    double red = 0, blue = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* p = &image.pixels[static_cast<size_t>(i) * 4];
        red += p[0];
        blue += p[2];
        if (p[3] >= 240 && p[0] >= 230 && p[1] >= 230 && p[2] >= 230) ++arcs;
        if (p[3] < 128) ++faint;
    }
    EXPECT_GT(arcs, count / 100) << "too few bright arc pixels";
    EXPECT_GT(faint, count / 2) << "the overlay would hide the tube";
    EXPECT_GT(blue, 1.5 * red) << "not an electric blue";
    // The overlay scrolls and turns the picture: no seams either way.
    EXPECT_LT(seamRatio(image, true), 2.0);
    EXPECT_LT(seamRatio(image, false), 2.0);
}

// --- The sounds ---

struct Sound {
    int format = 0, channels = 0, rate = 0, bits = 0;
    std::vector<std::int16_t> samples;
};

std::uint32_t little(const std::string& bytes, size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

Sound readSound(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Sound sound;
    EXPECT_GE(bytes.size(), 44u) << path;
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
        ADD_FAILURE() << path << " is not a RIFF WAVE file";
        return sound;
    }
    EXPECT_EQ(little(bytes, 4, 4), bytes.size() - 8) << path;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const std::uint32_t size = little(bytes, at + 4, 4);
        if (id == "fmt ") {
            sound.format = int(little(bytes, at + 8, 2));
            sound.channels = int(little(bytes, at + 10, 2));
            sound.rate = int(little(bytes, at + 12, 4));
            sound.bits = int(little(bytes, at + 22, 2));
        } else if (id == "data") {
            EXPECT_LE(at + 8 + size, bytes.size()) << path;
            for (size_t i = at + 8; i + 1 < at + 8 + size && i + 1 < bytes.size(); i += 2) {
                sound.samples.push_back(static_cast<std::int16_t>(little(bytes, i, 2)));
            }
        }
        at += 8 + size + (size & 1);
    }
    return sound;
}

TEST(Sounds, AreMono16BitPcmOfTheRightLengthsWithoutClicksOrClipping) {
    struct Expected {
        const char* path;
        double shortest, longest;  // seconds
    };
    const Expected sounds[] = {{"SFX/Electricity.wav", 0.3, 0.6},
                               {"SFX/Electricity2.wav", 0.2, 0.8},
                               {"SFX/Click.wav", 0.01, 0.1},
                               {"SFX/Cervo.wav", 0.7, 1.5},
                               {"SFX/Activate.wav", 0.3, 1.5}};
    std::vector<std::vector<std::int16_t>> seen;
    for (const Expected& expected : sounds) {
        SCOPED_TRACE(expected.path);
        const Sound sound = readSound(expected.path);
        EXPECT_EQ(sound.format, 1);
        EXPECT_EQ(sound.channels, 1) << "only mono sounds are placed in space";
        EXPECT_EQ(sound.bits, 16);
        EXPECT_TRUE(sound.rate == 22050 || sound.rate == 44100);
        ASSERT_GT(sound.rate, 0);
        const double seconds = double(sound.samples.size()) / sound.rate;
        EXPECT_GE(seconds, expected.shortest);
        EXPECT_LE(seconds, expected.longest);
        ASSERT_GT(sound.samples.size(), 20u);
        int peak = 0;
        for (std::int16_t s : sound.samples) peak = std::max(peak, std::abs(int(s)));
        EXPECT_GT(peak, 32768 * 3 / 10) << "too quiet";
        EXPECT_LT(peak, 32767) << "clipped";
        // It starts and ends at rest and ramps in and out: no click.
        EXPECT_LE(std::abs(int(sound.samples.front())), 164);
        EXPECT_LE(std::abs(int(sound.samples.back())), 164);
        const size_t ramp = static_cast<size_t>(sound.rate / 4000);  // a quarter of a millisecond
        for (size_t i = 0; i < ramp; ++i) {
            EXPECT_LE(std::abs(int(sound.samples[i])), 32768 / 4) << "sample " << i;
            EXPECT_LE(std::abs(int(sound.samples[sound.samples.size() - 1 - i])), 32768 / 4);
        }
        seen.push_back(sound.samples);
    }
    // The two electricity voices sound together in a pair: they must differ.
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_NE(seen[0], seen[1]);
}

}  // namespace
