// The model loader on small files written by the tests: what a file that
// keeps the format's rules loads as, and that every broken file is refused.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "assets/model.h"
#include "assets/model_draw.h"
#include "support/loaded_model.h"

namespace fs = std::filesystem;

namespace {

LoadedModel load(const std::string& text, std::uint32_t textureSlotBase = 2) {
    return loadModelText(text, textureSlotBase);
}

// The three count lines, and the vertices of the unit triangle.
std::string counts(int vertices, int faces, int materials) {
    return "# Vertices: " + std::to_string(vertices) + "\n# Faces: " + std::to_string(faces) +
           "\n# Materials: " + std::to_string(materials) + "\n";
}
const std::string triangleVertices = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";

// Three texture lines and a face line.
std::string face(const std::string& corners, float u = 0.0f) {
    std::string text;
    for (int line = 0; line < 3; ++line) text += "vt " + std::to_string(u + line * 0.125f) + " 0.5\n";
    return text + "f " + corners + "\n";
}

// The unit triangle in one material: the smallest file that keeps the rules.
const std::string unitTriangle = counts(3, 1, 1) + triangleVertices + "usemtl 0body\n" + face("1 2 3");

void expectVector(const Vector3& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-6);
    EXPECT_NEAR(v.y, y, 1e-6);
    EXPECT_NEAR(v.z, z, 1e-6);
}
void expectCorners(const Face& face, int a, int b, int c) {
    EXPECT_EQ(face.vertexIndex[0], a);
    EXPECT_EQ(face.vertexIndex[1], b);
    EXPECT_EQ(face.vertexIndex[2], c);
}
void expectPlane(const float* plane, float a, float b, float c, float d) {
    const float expected[4] = {a, b, c, d};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(plane[k], expected[k]) << "plane term " << k;
}

TEST(ModelLoader, ReadsTheUnitTriangleWithItsDerivedGeometryAndMaterialValues) {
    const LoadedModel model = load(unitTriangle);
    ASSERT_TRUE(model);
    EXPECT_EQ(model->vertexCount, 3);
    EXPECT_EQ(model->faceCount, 1);
    EXPECT_EQ(model->materialCount, 1);
    const Face& triangle = model->faces[0];
    expectCorners(triangle, 0, 1, 2);
    expectVector(triangle.normal, 0, 0, 1);
    EXPECT_FLOAT_EQ(triangle.centre.x, 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(triangle.centre.y, 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(triangle.centre.z, 0.0f);
    expectPlane(triangle.plane, 0, 0, 1, 0);
    for (int v = 0; v < 3; ++v) expectVector(model->normals[v], 0, 0, 1);

    const Material& material = model->materials[0];
    EXPECT_EQ(material.firstFace, 0);
    EXPECT_EQ(material.lastFace, 0);
    EXPECT_EQ(material.textureSlot, 2);
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_EQ(material.colour[channel], 1.0f);
        EXPECT_EQ(material.ambient[channel], 0.5f);
        EXPECT_EQ(material.diffuse[channel], 0.75f);
        EXPECT_EQ(material.specular[channel], 0.5f);
        EXPECT_EQ(material.emission[channel], 0.0f);
    }
    EXPECT_EQ(material.shininess, 50.0f);
}

TEST(ModelLoader, ReadsNumbersAsTheLongestDecimalPrefixOfEachField) {
    const LoadedModel model = load(counts(4, 1, 1) +
                                   "v 1.5e1 -2 .25\nv +3. 4x 7e\nv 0 0 0\nv 1 1 1 9\n"
                                   "usemtl 0\nvt 0.75 -1e-1\nvt 2 3\nvt 4 5\nf 3/1/3 1/2/1 2/3/2\n");
    ASSERT_TRUE(model);
    expectVector(model->positions[0], 15, -2, 0.25f);
    expectVector(model->positions[1], 3, 4, 7);
    expectVector(model->positions[3], 1, 1, 1);
    // The face fields 3/1/3, 1/2/1 and 2/3/2 are the vertices 3, 1 and 2.
    expectCorners(model->faces[0], 2, 0, 1);
    EXPECT_FLOAT_EQ(model->faces[0].texCoord[2][0], 0.75f);
    EXPECT_FLOAT_EQ(model->faces[0].texCoord[2][1], -0.1f);
}

TEST(ModelLoader, AFourCornerFaceIsTheTriangleOfItsFirstThreeCorners) {
    const LoadedModel model = load(counts(4, 1, 1) +
                                   "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                   "usemtl 0\n" +
                                   face("4 1 2 3"));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->faceCount, 1);
    expectCorners(model->faces[0], 3, 0, 1);
    // The dropped corner belongs to no face.
    expectVector(model->normals[2], 0, 0, 0);
}

TEST(ModelLoader, TheFirstTextureLineAheadOfAFaceGivesItsThirdCorner) {
    const LoadedModel model = load(counts(3, 2, 2) + triangleVertices +
                                   "usemtl 0a\nvt 0.1 0.2\nvt 0.3 0.4\nvt 0.5 0.6\nf 1 2 3\n"
                                   "usemtl 1b\nvt 1.1 1.2\nvt 1.3 1.4\nvt 1.5 1.6\nf 1 2 3\n");
    ASSERT_TRUE(model);
    const float expected[2][3][2] = {{{0.5f, 0.6f}, {0.3f, 0.4f}, {0.1f, 0.2f}},
                                     {{1.5f, 1.6f}, {1.3f, 1.4f}, {1.1f, 1.2f}}};
    for (int f = 0; f < 2; ++f)
        for (int corner = 0; corner < 3; ++corner) {
            EXPECT_FLOAT_EQ(model->faces[f].texCoord[corner][0], expected[f][corner][0]) << f << " " << corner;
            EXPECT_FLOAT_EQ(model->faces[f].texCoord[corner][1], expected[f][corner][1]) << f << " " << corner;
        }
}

TEST(ModelLoader, SectionsOfOneMaterialAreJoinedInFileOrder) {
    // Sections A (2 faces), B (1 face), A (1 face); each face is told apart
    // by its first corner and its first texture coordinate.
    const LoadedModel model = load(counts(4, 4, 2) +
                                   "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\n"
                                   "usemtl 0 metal A\n" +
                                   face("1 2 3", 10) + face("2 3 4", 20) + "usemtl 1 metal B\n" + face("3 4 1", 30) +
                                   "usemtl 0 metal A\n" + face("4 1 2", 40));
    ASSERT_TRUE(model);
    const int firstCorners[4] = {0, 1, 3, 2};
    const float firstU[4] = {10.25f, 20.25f, 40.25f, 30.25f};
    for (int f = 0; f < 4; ++f) {
        EXPECT_EQ(model->faces[f].vertexIndex[0], firstCorners[f]) << f;
        EXPECT_FLOAT_EQ(model->faces[f].texCoord[0][0], firstU[f]) << f;
    }
    ASSERT_EQ(model->materialCount, 2);
    EXPECT_EQ(model->materials[0].firstFace, 0);
    EXPECT_EQ(model->materials[0].lastFace, 2);
    EXPECT_EQ(model->materials[1].firstFace, 3);
    EXPECT_EQ(model->materials[1].lastFace, 3);
    EXPECT_EQ(model->materials[0].textureSlot, 2);
    EXPECT_EQ(model->materials[1].textureSlot, 3);
}

TEST(ModelLoader, MaterialLinesAreTheSameMaterialOnlyWhenEqualAsAWhole) {
    // Same number, different names; and a trailing blank makes another line.
    const LoadedModel model = load(counts(3, 3, 3) + triangleVertices + "usemtl 1 rim left\n" + face("1 2 3") +
                                   "usemtl 1 rim right\n" + face("2 3 1") + "usemtl 1 rim left \n" + face("3 1 2"));
    ASSERT_TRUE(model);
    for (int m = 0; m < 3; ++m) {
        EXPECT_EQ(model->materials[m].firstFace, m);
        EXPECT_EQ(model->materials[m].lastFace, m);
        EXPECT_EQ(model->materials[m].textureSlot, 3);
        EXPECT_EQ(model->faces[m].vertexIndex[0], m);
    }
}

TEST(ModelLoader, AMaterialWithoutFacesHasAnEmptyRangeBetweenItsNeighbours) {
    const LoadedModel model = load(counts(3, 2, 3) + triangleVertices + "usemtl 0a\n" + face("1 2 3") +
                                   "usemtl 1b\nusemtl 2c\n" + face("1 2 3"));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->materials[0].firstFace, 0);
    EXPECT_EQ(model->materials[0].lastFace, 0);
    EXPECT_EQ(model->materials[1].firstFace, 1);
    EXPECT_EQ(model->materials[1].lastFace, 0);
    EXPECT_EQ(model->materials[2].firstFace, 1);
    EXPECT_EQ(model->materials[2].lastFace, 1);
}

TEST(ModelLoader, TheMaterialNumberBeginsTheNameAndOffsetsTheSlotBase) {
    struct Case {
        std::string name;
        std::uint32_t base;
        int slot;
    };
    const Case cases[] = {
        {"1ends", 2, 3},        {"metal", 2, 2}, {"0", 4, 4},  {"2 x", 4, 6}, {"12ab", 2, 14}, {"1234", 0, 123},
        {"-5x", 2, 0},          {"-3", 3, 0},    {"-2", 3, 1}, {" 7", 0, 7},  {"", 5, 5},      {"1e2", 0, 100},
        {"9e9", 0, 2147483647},
    };
    for (const Case& c : cases) {
        const LoadedModel model =
            load(counts(3, 1, 1) + triangleVertices + "usemtl " + c.name + "\n" + face("1 2 3"), c.base);
        ASSERT_TRUE(model) << c.name;
        EXPECT_EQ(model->materials[0].textureSlot, c.slot) << "'" << c.name << "' on base " << c.base;
    }
}

TEST(ModelLoader, CollinearCornersGiveAZeroNormalAndPlaneAndAddNothing) {
    const LoadedModel model = load(counts(4, 2, 1) +
                                   "v 0 0 0\nv 1 1 1\nv 3 3 3\nv 0 1 0\n"
                                   "usemtl 0\n" +
                                   face("1 2 3") + face("1 4 2"));
    ASSERT_TRUE(model);
    expectVector(model->faces[0].normal, 0, 0, 0);
    expectPlane(model->faces[0].plane, 0, 0, 0, 0);
    // Vertex 3 lies only on the collinear face.
    expectVector(model->normals[2], 0, 0, 0);
    // The vertices of both faces carry the second face's normal alone.
    const Vector3 n = model->faces[1].normal;
    EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0, 1e-6);
    for (int v : {0, 1, 3}) expectVector(model->normals[v], n.x, n.y, n.z);
}

TEST(ModelLoader, SmoothedNormalsAverageTheFacesAroundAVertexAndSkipUnusedOnes) {
    // Face 1 lies in z = 0 facing +z, face 2 in x = 0 facing +x; they share
    // vertices 1 and 2. Vertex 5 is used by no face.
    const LoadedModel model = load(counts(5, 2, 1) +
                                   "v 0 0 0\nv 0 1 0\nv 1 0 0\nv 0 0 -1\nv 7 7 7\n"
                                   "usemtl 0\n" +
                                   face("1 3 2") + face("1 4 2"));
    ASSERT_TRUE(model);
    expectVector(model->faces[0].normal, 0, 0, 1);
    expectVector(model->faces[1].normal, 1, 0, 0);
    for (int v : {0, 1}) expectVector(model->normals[v], 0.70710678f, 0, 0.70710678f);
    expectVector(model->normals[2], 0, 0, 1);
    expectVector(model->normals[3], 1, 0, 0);
    expectVector(model->normals[4], 0, 0, 0);
}

// The bits of each component, to compare normals exactly.
std::array<std::uint32_t, 3> bitsOf(const Vector3& v) {
    return {std::bit_cast<std::uint32_t>(v.x), std::bit_cast<std::uint32_t>(v.y), std::bit_cast<std::uint32_t>(v.z)};
}

TEST(ModelLoader, NormalsAreRoundedToFloatsAtEveryVectorStep) {
    // For this triangle the edges, their cross product and the normalised
    // vector, each stored as floats, end one unit in the last place below
    // what a single rounding of the exact normal gives (0x3ed105ec,
    // 0xbed105ec, 0xbf5105ec). The vertex normals are that face normal
    // normalised once more, and its float length is not exactly 1.
    const LoadedModel model = load(counts(3, 1, 1) + "v 0 0 0\nv 0.1 0.1 0\nv 0.2 0 0.1\nusemtl 0\n" + face("1 2 3"));
    ASSERT_TRUE(model);
    using Bits = std::array<std::uint32_t, 3>;
    EXPECT_EQ(bitsOf(model->faces[0].normal), (Bits{0x3ed105eb, 0xbed105eb, 0xbf5105eb}));
    for (int v = 0; v < 3; ++v) EXPECT_EQ(bitsOf(model->normals[v]), (Bits{0x3ed105ec, 0xbed105ec, 0xbf5105ec}));
    EXPECT_EQ(bitsOf(triangleNormal({0, 0, 0}, {0.1f, 0.1f, 0}, {0.2f, 0, 0.1f})),
              (Bits{0x3ed105eb, 0xbed105eb, 0xbf5105eb}));
}

TEST(ModelLoader, FacePlanesAreUnnormalisedAndPassThroughTheCorners) {
    const LoadedModel model = load(counts(3, 1, 1) +
                                   "v 1 2 3\nv 4 2 3\nv 1 2 -3\n"
                                   "usemtl 0\n" +
                                   face("1 2 3"));
    ASSERT_TRUE(model);
    // (3, 0, 0) x (0, 0, -6) = (0, 18, 0), d = -(18 * 2).
    expectPlane(model->faces[0].plane, 0, 18, 0, -36);
    expectVector(model->faces[0].normal, 0, 1, 0);
    expectVector(model->faces[0].centre, 2, 2, 1);
}

void expectSameModel(const Model& a, const Model& b) {
    ASSERT_EQ(a.vertexCount, b.vertexCount);
    ASSERT_EQ(a.faceCount, b.faceCount);
    ASSERT_EQ(a.materialCount, b.materialCount);
    EXPECT_EQ(0, std::memcmp(a.positions, b.positions, sizeof(Vector3) * a.vertexCount));
    EXPECT_EQ(0, std::memcmp(a.normals, b.normals, sizeof(Vector3) * a.vertexCount));
    EXPECT_EQ(0, std::memcmp(a.faces, b.faces, sizeof(Face) * a.faceCount));
    for (int m = 0; m < a.materialCount; ++m) {
        const Material& x = a.materials[m];
        const Material& y = b.materials[m];
        EXPECT_EQ(x.firstFace, y.firstFace);
        EXPECT_EQ(x.lastFace, y.lastFace);
        EXPECT_EQ(x.textureSlot, y.textureSlot);
        EXPECT_EQ(0, std::memcmp(x.colour, y.colour, sizeof x.colour));
        EXPECT_EQ(x.shininess, y.shininess);
    }
}

TEST(ModelLoader, CrLfLineEndsLoadTheSameAsLf) {
    const std::string lf =
        counts(3, 1, 2) + triangleVertices + "usemtl 1 ends\n" + face("1 2 3", 0.5f) + "usemtl 0 body\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const LoadedModel withLf = load(lf);
    const LoadedModel withCrLf = load(crlf);
    ASSERT_TRUE(withLf);
    ASSERT_TRUE(withCrLf);
    expectSameModel(*withLf, *withCrLf);
    // The material lines are the same lines with either end: two materials.
    EXPECT_EQ(withCrLf->materials[0].textureSlot, 3);
    EXPECT_EQ(withCrLf->materials[1].textureSlot, 2);
    EXPECT_FLOAT_EQ(withCrLf->faces[0].texCoord[0][0], 0.75f);
    // A last line without a terminator is a line too.
    const LoadedModel unterminated = load(lf.substr(0, lf.size() - 1));
    ASSERT_TRUE(unterminated);
    expectSameModel(*withLf, *unterminated);
}

TEST(ModelLoader, CountsAreFoundAnywhereInAnyLineAndOtherLinesChangeNothing) {
    const std::string plain = counts(3, 1, 2) + triangleVertices + "usemtl 0a\n" + face("1 2 3") + "usemtl 1b\n";
    const std::string decorated =
        "# made by hand\nmtllib tube.mtl\n"
        "the counts -> Vertices:   3 and Faces: 1.2 and Materials: 2\n"
        "o tube\ng elbow\ns 1\n"
        "v 0 0 0\nvn 0 0 1\nv 1 0 0\n\nv 0 1 0\n"
        "vt 9 9\nf 1 2 3\n"  // before any material: belongs to none
        "usemtl 0a\n# a comment inside\nvn 1 0 0\n" +
        face("1 2 3") + "usemtl 1b\n";
    const LoadedModel a = load(plain);
    const LoadedModel b = load(decorated);
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->materialCount, 2);
    expectSameModel(*a, *b);
    // The count is read two characters after the colon: with no blank the
    // first digit is skipped.
    EXPECT_FALSE(
        load("# Vertices:3\n# Faces: 1\n# Materials: 1\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl 0\n" + face("1 2 3")));
    EXPECT_TRUE(
        load("# Vertices:13\n# Faces: 1\n# Materials: 1\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl 0\n" + face("1 2 3")));
}

TEST(ModelLoader, AKeywordMayBeginAtTheLine127thCharacterButNoLater) {
    const std::string rest = "# Faces: 1\n# Materials: 1\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl 0\n" + face("1 2 3");
    EXPECT_TRUE(load(std::string(126, '#') + "Vertices: 3\n" + rest));
    EXPECT_FALSE(load(std::string(127, '#') + "Vertices: 3\n" + rest));
    // A long line elsewhere is fine.
    EXPECT_TRUE(load(std::string(100000, '#') + "\n# Vertices: 3\n" + rest));
}

TEST(ModelLoader, MaterialLinesMayHoldUpTo75Characters) {
    const std::string head = counts(3, 1, 1) + triangleVertices;
    const std::string longest = "usemtl " + std::string(68, 'm');
    ASSERT_EQ(longest.size(), 75u);
    EXPECT_TRUE(load(head + longest + "\n" + face("1 2 3")));
    EXPECT_FALSE(load(head + longest + "m\n" + face("1 2 3")));
}

// Every way a file can break the rules gives the failure result.
TEST(ModelLoader, RefusesEveryFileThatBreaksTheRules) {
    const std::string header = counts(3, 1, 1);
    const std::string material = "usemtl 0\n";
    const std::string triangle = face("1 2 3");
    const std::string start = header + triangleVertices + material;  // then one face
    ASSERT_TRUE(load(start + triangle));

    const std::pair<const char*, std::string> broken[] = {
        {"an empty file", ""},
        {"no vertex count", "# Faces: 1\n# Materials: 1\n" + triangleVertices + material + triangle},
        {"no face count", "# Vertices: 3\n# Materials: 1\n" + triangleVertices + material + triangle},
        {"no material count", "# Vertices: 3\n# Faces: 1\n" + triangleVertices + material + triangle},
        {"more vertices than counted", header + triangleVertices + "v 1 1 1\n" + material + triangle},
        {"fewer vertices than counted", header + "v 0 0 0\nv 1 0 0\n" + material + face("1 2 1")},
        {"more faces than counted", start + triangle + triangle},
        {"fewer faces than counted", counts(3, 2, 1) + triangleVertices + material + triangle},
        {"fewer materials than counted", counts(3, 1, 2) + triangleVertices + material + triangle},
        {"more materials than counted", start + triangle + "usemtl 1\n"},
        {"more materials, with faces", start + "usemtl 1\n" + triangle},
        {"a material count of 0", counts(3, 0, 0) + triangleVertices},
        {"a face in a file without materials", counts(3, 1, 0) + triangleVertices + triangle},
        {"the vertex count after a vertex",
         "# Faces: 1\n# Materials: 1\nv 0 0 0\n# Vertices: 3\nv 1 0 0\nv 0 1 0\n" + material + triangle},
        {"a vertex count given twice", header + "# Vertices: 3\n" + triangleVertices + material + triangle},
        {"a count keyword twice in a line",
         "# Vertices: 3 Vertices: 3\n# Faces: 1\n# Materials: 1\n" + triangleVertices + material + triangle},
        {"a negative count", "# Vertices: -3\n# Faces: 1\n# Materials: 1\n" + triangleVertices + material + triangle},
        {"a count past the file's size",
         "# Vertices: 1e12\n# Faces: 1\n# Materials: 1\n" + triangleVertices + material + triangle},
        {"a count past 32 bits",
         "# Vertices: 3\n# Faces: 1\n# Materials: 99999999999999999999\n" + triangleVertices + material + triangle},
        {"face index 0", start + face("0 1 2")},
        {"face index past the vertices", start + face("1 2 4")},
        {"a negative face index", start + face("1 2 -1")},
        {"a face index that is no number", start + face("1 2 x")},
        {"a fractional face index", start + face("1 2.5 3")},
        {"a huge face index", start + face("1 2 99999999999999999999")},
        {"a face of two corners", start + face("1 2")},
        {"a face of one corner", start + face("1")},
        {"a face with two texture lines", start + "vt 0 0\nvt 0 0\nf 1 2 3\n"},
        {"a face with four texture lines", start + "vt 0 0\n" + triangle},
        {"a face with no texture lines", start + "f 1 2 3\n"},
        {"texture lines after the last face", start + triangle + "vt 0 0\n"},
        {"texture lines no face of the material takes",
         counts(3, 2, 2) + triangleVertices + material + triangle + "vt 1 1\nusemtl 1\n" + triangle},
    };
    for (const auto& [what, text] : broken) EXPECT_FALSE(load(text)) << what;
}

TEST(ModelLoader, RefusesWhatCannotBeOpenedOrIsNoFile) {
    EXPECT_EQ(loadModel((fs::temp_directory_path() / "tubechain no such file.OBJ").string(), 2), nullptr);
    EXPECT_EQ(loadModel(fs::temp_directory_path().string(), 2), nullptr);
    // A device would hand out lines without end.
    EXPECT_EQ(loadModel("/dev/zero", 2), nullptr);
}

}  // namespace
