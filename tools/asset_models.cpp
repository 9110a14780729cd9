// The three model files: the tube elbow, the larger shell that carries the
// lightning, and the stage under the board.
#include <cmath>
#include <stdexcept>

#include "asset_files.h"

namespace {

constexpr double pi = 3.14159265358979323846;

// The elbow's centre line is a quarter circle about the cell corner
// (-0.5, 0, 0.5): at angle phi = 0 it leaves the cell's +z side at
// (0, 0, 0.5), at phi = pi / 2 its -x side at (-0.5, 0, 0).
constexpr double bendRadius = 0.5;     // radius of the centre line
constexpr double tubeRadius = 0.18;    // radius of the tube's body
constexpr double collarRadius = 0.22;  // radius of the collar at each open end; the tube's lowest point
constexpr double collarAngle = 0.24;   // radians of the centre line covered by each collar
constexpr double shellRadius = 0.26;   // radius of the lightning shell: its flat faces clear the collars
constexpr int ringSides = 8;           // vertices around every ring
constexpr int bodySegments = 3;        // rings - 1 along the body
constexpr int shellSegments = 4;       // rings - 1 along the lightning shell

struct Point {
    double x, y, z;
};

Point centreLine(double phi) { return {-0.5 + bendRadius * std::cos(phi), 0.0, 0.5 - bendRadius * std::sin(phi)}; }

// Direction of the ring's side at angle theta: theta 0 points away from the
// bend's centre in the x-z plane, pi / 2 points up.
Point ringDirection(double phi, double theta) {
    return {std::cos(theta) * std::cos(phi), std::sin(theta), -std::cos(theta) * std::sin(phi)};
}

// Side angle of vertex j of a ring; vertex 0 lies underneath, so the texture
// seam runs along the tube's bottom.
double sideAngle(int j) { return -pi / 2 + 2 * pi * j / ringSides; }

// A ring of vertices around the centre line; returns the first index.
int addRing(Mesh& mesh, double phi, double radius) {
    const Point c = centreLine(phi);
    int first = -1;
    for (int j = 0; j < ringSides; ++j) {
        const Point d = ringDirection(phi, sideAngle(j));
        const int index = addVertex(mesh, c.x + radius * d.x, c.y + radius * d.y, c.z + radius * d.z);
        if (first < 0) first = index;
    }
    return first;
}

MeshFace face(int a, int b, int c, float ua, float va, float ub, float vb, float uc, float vc) {
    MeshFace f;
    f.corner[0] = a;
    f.corner[1] = b;
    f.corner[2] = c;
    f.uv[0][0] = ua;
    f.uv[0][1] = va;
    f.uv[1][0] = ub;
    f.uv[1][1] = vb;
    f.uv[2][0] = uc;
    f.uv[2][1] = vc;
    return f;
}

// The band of quads between two rings (ring a at the smaller phi), outward
// faces counter-clockwise. u runs around from u0 to u1, v from va to vb.
void addBand(std::vector<MeshFace>& faces, int ringA, int ringB, float u0, float u1, float va, float vb) {
    for (int j = 0; j < ringSides; ++j) {
        const int k = (j + 1) % ringSides;
        const float uj = u0 + (u1 - u0) * j / ringSides;
        const float uk = u0 + (u1 - u0) * (j + 1) / ringSides;
        faces.push_back(face(ringA + j, ringB + j, ringB + k, uj, va, uj, vb, uk, vb));
        faces.push_back(face(ringA + j, ringB + k, ringA + k, uj, va, uk, vb, uk, va));
    }
}

// The cap closing an open end: a flat octagon facing out of the cell, with
// the round picture of the lower half of the ends texture.
void addCap(Mesh& mesh, std::vector<MeshFace>& faces, double phi, bool atMinusXEnd) {
    const int ring = addRing(mesh, phi, collarRadius);
    float u[ringSides], v[ringSides];
    for (int j = 0; j < ringSides; ++j) {
        const double theta = sideAngle(j);
        // Seen from outside, around the disc; the picture sits at (0.5, 0.25)
        // with radius 0.24.
        const double side = atMinusXEnd ? -1.0 : 1.0;
        u[j] = static_cast<float>(0.5 + 0.24 * side * std::cos(theta));
        v[j] = static_cast<float>(0.25 + 0.24 * std::sin(theta));
    }
    for (int j = 1; j + 1 < ringSides; ++j) {
        if (atMinusXEnd) {
            faces.push_back(face(ring, ring + j + 1, ring + j, u[0], v[0], u[j + 1], v[j + 1], u[j], v[j]));
        } else {
            faces.push_back(face(ring, ring + j, ring + j + 1, u[0], v[0], u[j], v[j], u[j + 1], v[j + 1]));
        }
    }
}

double length(const Point& p) { return std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z); }

// Every face of the mesh must turn its counter-clockwise side outwards:
// away from the centre line for the tube's sides, out of the cell for caps.
void checkOutward(const Mesh& mesh, const std::string& what) {
    for (const MeshMaterial& material : mesh.materials) {
        for (const MeshFace& f : material.faces) {
            Point p[3];
            for (int k = 0; k < 3; ++k) {
                const double* q = &mesh.positions[static_cast<size_t>(f.corner[k]) * 3];
                p[k] = {q[0], q[1], q[2]};
            }
            const Point e1{p[1].x - p[0].x, p[1].y - p[0].y, p[1].z - p[0].z};
            const Point e2{p[2].x - p[0].x, p[2].y - p[0].y, p[2].z - p[0].z};
            const Point n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
            const Point m{(p[0].x + p[1].x + p[2].x) / 3, (p[0].y + p[1].y + p[2].y) / 3,
                          (p[0].z + p[1].z + p[2].z) / 3};
            // The nearest centre-line point to the face's centre.
            const double phi = std::atan2(0.5 - m.z, m.x + 0.5);
            const Point c = centreLine(phi < 0 ? 0 : (phi > pi / 2 ? pi / 2 : phi));
            Point out{m.x - c.x, m.y - c.y, m.z - c.z};
            if (length(out) < 1e-6 || length(n) < 1e-12) throw std::runtime_error(what + ": degenerate face");
            // A cap lies in its end plane: compare with the direction out of the cell.
            if (std::fabs(m.z - 0.5) < 1e-6) out = {0, 0, 1};
            if (std::fabs(m.x + 0.5) < 1e-6) out = {-1, 0, 0};
            if (n.x * out.x + n.y * out.y + n.z * out.z <= 0) throw std::runtime_error(what + ": face turned inwards");
        }
    }
}

Mesh tubeMesh() {
    Mesh mesh;
    mesh.materials.push_back({"0_tube_body", {}});
    mesh.materials.push_back({"1_tube_ends", {}});
    std::vector<MeshFace>& body = mesh.materials[0].faces;
    std::vector<MeshFace>& ends = mesh.materials[1].faces;

    // The body between the collars: u once around, v by arc length over the
    // circumference so that the metal's grain keeps its proportions.
    const double first = collarAngle, last = pi / 2 - collarAngle;
    const double circumference = 2 * pi * tubeRadius;
    int previous = -1;
    for (int i = 0; i <= bodySegments; ++i) {
        const double phi = first + (last - first) * i / bodySegments;
        const int ring = addRing(mesh, phi, tubeRadius);
        if (previous >= 0) {
            const double phiPrevious = first + (last - first) * (i - 1) / bodySegments;
            addBand(body, previous, ring, 0.0f, 1.0f, static_cast<float>(bendRadius * phiPrevious / circumference),
                    static_cast<float>(bendRadius * phi / circumference));
        }
        previous = ring;
    }

    // The collars flare from the body out to the open end; they use the
    // upper half of the ends texture, u once around, v from 0.5 to 1.
    const int plusZInner = addRing(mesh, collarAngle, tubeRadius);
    const int plusZOuter = addRing(mesh, 0.0, collarRadius);
    addBand(ends, plusZOuter, plusZInner, 0.0f, 1.0f, 1.0f, 0.5f);
    const int minusXInner = addRing(mesh, pi / 2 - collarAngle, tubeRadius);
    const int minusXOuter = addRing(mesh, pi / 2, collarRadius);
    addBand(ends, minusXInner, minusXOuter, 0.0f, 1.0f, 0.5f, 1.0f);

    addCap(mesh, ends, 0.0, false);
    addCap(mesh, ends, pi / 2, true);
    checkOutward(mesh, "Tube");
    return mesh;
}

// The lightning shell: the same bend, wider than the collars, open at both
// ends. u runs twice around, v once along its length, so the overlay's
// climb along v carries the arcs from one end to the other.
Mesh shellMesh() {
    Mesh mesh;
    mesh.materials.push_back({"0_lightning_shell", {}});
    int previous = -1;
    for (int i = 0; i <= shellSegments; ++i) {
        const double phi = pi / 2 * i / shellSegments;
        const int ring = addRing(mesh, phi, shellRadius);
        if (previous >= 0) {
            addBand(mesh.materials[0].faces, previous, ring, 0.0f, 2.0f, static_cast<float>(i - 1) / shellSegments,
                    static_cast<float>(i) / shellSegments);
        }
        previous = ring;
    }
    checkOutward(mesh, "Tube2");
    return mesh;
}

// Two triangles of a flat quad whose corners a, b, c, d run counter-clockwise
// seen from above.
void addQuad(Mesh& mesh, std::vector<MeshFace>& faces, const Point (&corners)[4], const float (&uv)[4][2], double y) {
    int index[4];
    for (int k = 0; k < 4; ++k) index[k] = addVertex(mesh, corners[k].x, y, corners[k].z);
    faces.push_back(face(index[0], index[1], index[2], uv[0][0], uv[0][1], uv[1][0], uv[1][1], uv[2][0], uv[2][1]));
    faces.push_back(face(index[0], index[2], index[3], uv[0][0], uv[0][1], uv[2][0], uv[2][1], uv[3][0], uv[3][1]));
}

// The stage: a flat floor at the tubes' lowest point, wider than the board
// (x -7.5..7.5, z -15.5..-0.5) and reaching past the top of the picture,
// with a bevelled rim along its left, right and far edges.
// The floor's texture coordinates put the score texture's text rows on the
// strip behind the board: the "Best" line (rows 215..231) near z = -17, the
// "Score" line (rows 235..251) ending near z = -23.2, both starting at the
// board's left edge, x = -7.5, 1.3 units per character. The floor uses t
// 0.41..1 of the picture; the rim takes its shading across t 0.25..0.3125,
// a band of the background picture kept for it.
Mesh stageMesh() {
    constexpr double floorY = -collarRadius;
    constexpr double left = -11.5, right = 11.5, nearZ = 1.5, farZ = -24.5, rim = 0.3;
    constexpr double textLeft = -7.5, characterWidth = 1.3;
    constexpr double scoreTopZ = -23.2, bestBottomZ = -17.0;
    constexpr double tScoreTop = 251.0 / 256, tBestBottom = 215.0 / 256;
    constexpr float rimOuterT = 64.5f / 256, rimInnerT = 79.5f / 256;
    auto s = [&](double x) { return static_cast<float>((x - textLeft) / (16 * characterWidth)); };
    auto t = [&](double z) {
        return static_cast<float>(tBestBottom +
                                  (tScoreTop - tBestBottom) * (z - bestBottomZ) / (scoreTopZ - bestBottomZ));
    };
    Mesh mesh;
    // The floor's own material names no picture (slot 4 + 3, past the six
    // loaded ones): the score texture laid over the same faces right after it
    // is the opaque background picture with the text, so it covers every
    // pixel, and a picture sampled here too would cost a third of the
    // stage's fill and never be seen.
    mesh.materials.push_back({"3_stage_floor", {}});
    std::vector<MeshFace>& faces = mesh.materials[0].faces;
    const double innerLeft = left + rim, innerRight = right - rim, innerFar = farZ + rim;
    // The floor first: face 0's corner order makes the floor's plane normal point up.
    addQuad(mesh, faces,
            {{innerLeft, 0, nearZ}, {innerRight, 0, nearZ}, {innerRight, 0, innerFar}, {innerLeft, 0, innerFar}},
            {{s(innerLeft), t(nearZ)},
             {s(innerRight), t(nearZ)},
             {s(innerRight), t(innerFar)},
             {s(innerLeft), t(innerFar)}},
            floorY);
    // The rim: outer edge at rimOuterT, inner edge at rimInnerT, s along it.
    auto along = [&](double d) { return static_cast<float>(d / (16 * characterWidth)); };
    addQuad(mesh, faces, {{left, 0, nearZ}, {innerLeft, 0, nearZ}, {innerLeft, 0, innerFar}, {left, 0, farZ}},
            {{along(-nearZ), rimOuterT},
             {along(-nearZ), rimInnerT},
             {along(-innerFar), rimInnerT},
             {along(-farZ), rimOuterT}},
            floorY);
    addQuad(
        mesh, faces, {{innerRight, 0, nearZ}, {right, 0, nearZ}, {right, 0, farZ}, {innerRight, 0, innerFar}},
        {{along(nearZ), rimInnerT}, {along(nearZ), rimOuterT}, {along(farZ), rimOuterT}, {along(innerFar), rimInnerT}},
        floorY);
    addQuad(mesh, faces, {{innerLeft, 0, innerFar}, {innerRight, 0, innerFar}, {right, 0, farZ}, {left, 0, farZ}},
            {{along(innerLeft), rimInnerT},
             {along(innerRight), rimInnerT},
             {along(right), rimOuterT},
             {along(left), rimOuterT}},
            floorY);
    return mesh;
}

}  // namespace

void writeModels(const std::filesystem::path& root) {
    writeObj(root / "Model" / "Tube.OBJ", tubeMesh(), "Tube: an elbow joining the cell's -x and +z sides");
    writeObj(root / "Model" / "Tube2.OBJ", shellMesh(), "Tube2: the lightning shell around the tube");
    writeObj(root / "Model" / "Stage.OBJ", stageMesh(), "Stage: the floor under the board");
}
