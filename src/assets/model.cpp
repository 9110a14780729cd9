#include "assets/model.h"

#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace {

// A count keyword must begin within a line's first 127 characters.
constexpr std::size_t keywordReach = 127;
// Material lines are compared whole and are at most this long.
constexpr std::size_t longestMaterialLine = 75;

// One pass over the model text, a line at a time. The line excludes its
// terminator: LF, or CR LF.
struct LineReader {
    std::string_view text;  // the whole file
    std::size_t next = 0;   // where the next line begins
    std::string_view line;  // the current line, inside text
};

bool nextLine(LineReader& reader) {
    if (reader.next >= reader.text.size()) return false;
    const std::size_t newline = reader.text.find('\n', reader.next);
    const std::size_t end = newline == std::string_view::npos ? reader.text.size() : newline;
    reader.line = reader.text.substr(reader.next, end - reader.next);
    if (!reader.line.empty() && reader.line.back() == '\r') reader.line.remove_suffix(1);
    reader.next = end + 1;
    return true;
}

bool isVertexLine(std::string_view line) { return line.size() >= 2 && line[0] == 'v' && line[1] == ' '; }
bool isTextureLine(std::string_view line) { return line.size() >= 2 && line[0] == 'v' && line[1] == 't'; }
bool isFaceLine(std::string_view line) { return line.size() >= 2 && line[0] == 'f' && line[1] == ' '; }
bool isMaterialLine(std::string_view line) { return line.substr(0, 6) == "usemtl"; }

// The text after the n-th blank of the line (fields are counted by blanks
// from the line's start); found is false when the line has fewer blanks.
std::string_view fieldText(std::string_view line, int n, bool& found) {
    std::size_t position = 0;
    for (int blank = 0; blank < n; ++blank) {
        position = line.find(' ', position);
        if (position == std::string_view::npos) {
            found = false;
            return {};
        }
        ++position;
    }
    found = true;
    return line.substr(position);
}

// The decimal number that begins the text after any leading blanks: an
// optional sign, digits with at most one decimal point, an optional
// exponent. Text that does not begin with a number reads as 0.
double readNumber(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && text[start] == ' ') ++start;
    std::size_t end = start;
    auto isDigit = [&](std::size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
    if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
    std::size_t digits = 0;
    while (isDigit(end)) ++end, ++digits;
    if (end < text.size() && text[end] == '.') {
        ++end;
        while (isDigit(end)) ++end, ++digits;
    }
    if (digits == 0) return 0.0;
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t exponent = end + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
        if (isDigit(exponent)) {
            while (isDigit(exponent)) ++exponent;
            end = exponent;
        }
    }
    // The prefix holds nothing but a plain decimal number now.
    const std::string number(text.substr(start, end - start));
    return std::strtod(number.c_str(), nullptr);
}

float readFloatField(std::string_view line, int n) {
    bool found = false;
    const std::string_view text = fieldText(line, n, found);
    return found ? static_cast<float>(readNumber(text)) : 0.0f;
}

// Counts read in the counting pass, with what the rules ask of them.
struct CountRead {
    int facesSeen = 0, verticesSeen = 0, materialsSeen = 0;  // count lines met per keyword
    int vertexLines = 0;                                     // vertex lines, in file order
    int sectionFaceLines = 0;                                // face lines after the first material line
    std::vector<std::string> materialLines;                  // distinct material lines
    bool inSection = false;                                  // a material line has been met
};

// Reads a count and sizes its arrays. A count past what the file could hold
// is refused before anything is allocated.
bool readCount(Model& model, std::string_view line, std::size_t keywordAt, std::size_t keywordLength,
               std::size_t fileBytes, int keyword) {
    const std::size_t from = keywordAt + keywordLength + 1;
    const double value = std::nearbyint(readNumber(from < line.size() ? line.substr(from) : std::string_view()));
    // Every counted line holds at least two characters.
    if (!(value >= 0.0) || value > static_cast<double>(fileBytes) / 2.0 || value > 2147483647.0) return false;
    const std::int32_t count = static_cast<std::int32_t>(value);
    if (keyword == 0) {
        model.faceCount = count;
        model.faces = new Face[count];
    } else if (keyword == 1) {
        model.vertexCount = count;
        model.positions = new Vector3[count];
        model.normals = new Vector3[count];
    } else {
        model.materialCount = count;
        model.materials = new Material[count];
    }
    return true;
}

bool knownMaterial(const std::vector<std::string>& list, std::string_view line) {
    for (const std::string& seen : list)
        if (seen == line) return true;
    return false;
}

// The counting read: the three counts and the vertex positions, and the
// checks that the counts match the lines they count.
bool countingRead(Model& model, std::string_view text) {
    LineReader reader;
    reader.text = text;
    static constexpr std::string_view keywords[3] = {"Faces:", "Vertices:", "Materials:"};
    CountRead counts;
    int* seen[3] = {&counts.facesSeen, &counts.verticesSeen, &counts.materialsSeen};
    bool good = true;
    while (good && nextLine(reader)) {
        const std::string_view line = reader.line;
        for (int keyword = 0; keyword < 3 && good; ++keyword) {
            const std::size_t at = line.find(keywords[keyword]);
            if (at == std::string_view::npos) continue;
            // Once per file, near the line's start, and the vertex count
            // before the first vertex.
            if (at >= keywordReach || ++*seen[keyword] > 1 ||
                line.find(keywords[keyword], at + 1) != std::string_view::npos ||
                (keyword == 1 && counts.vertexLines > 0)) {
                good = false;
                break;
            }
            good = readCount(model, line, at, keywords[keyword].size(), text.size(), keyword);
        }
        if (!good) break;

        if (isVertexLine(line)) {
            if (counts.verticesSeen == 0 || counts.vertexLines >= model.vertexCount) {
                good = false;
                break;
            }
            Vector3& position = model.positions[counts.vertexLines];
            position.x = readFloatField(line, 1);
            position.y = readFloatField(line, 2);
            position.z = readFloatField(line, 3);
            ++counts.vertexLines;
        } else if (isFaceLine(line)) {
            if (counts.inSection) ++counts.sectionFaceLines;
        } else if (isMaterialLine(line)) {
            counts.inSection = true;
            if (line.size() > longestMaterialLine) {
                good = false;
            } else if (!knownMaterial(counts.materialLines, line)) {
                counts.materialLines.emplace_back(line);
            }
        }
    }
    if (!good) return false;
    if (counts.facesSeen != 1 || counts.verticesSeen != 1 || counts.materialsSeen != 1) return false;
    return model.materialCount >= 1 && model.vertexCount == counts.vertexLines &&
           model.faceCount == counts.sectionFaceLines &&
           model.materialCount == static_cast<int>(counts.materialLines.size());
}

// The discovery read: the first material line not in the list, appended.
bool discoveryRead(std::string_view text, std::vector<std::string>& list) {
    LineReader reader;
    reader.text = text;
    bool found = false;
    while (!found && nextLine(reader)) {
        if (isMaterialLine(reader.line) && !knownMaterial(list, reader.line)) {
            list.emplace_back(reader.line);
            found = true;
        }
    }
    return found;
}

// Reads one face index field; it must be a whole number in 1..vertexCount.
bool readFaceIndex(std::string_view line, int n, std::int32_t vertexCount, std::int32_t& index) {
    bool found = false;
    const std::string_view text = fieldText(line, n, found);
    if (!found) return false;
    const double value = readNumber(text);
    if (!(value >= 1.0 && value <= vertexCount) || value != std::floor(value)) return false;
    index = static_cast<std::int32_t>(value) - 1;
    return true;
}

// Counters that live for the whole load.
struct LoadCounters {
    std::int32_t facesStored = 0;
    std::int32_t corner = 0;  // texture corner, runs 3, 2, 1, 3, ... and is never reset
};

// The collection read of one material: its texture and face lines in file
// order across all of its sections.
bool collectionRead(Model& model, std::string_view text, std::string_view material, LoadCounters& counters) {
    LineReader reader;
    reader.text = text;
    bool inMaterial = false;
    int textureLinesAhead = 0;  // texture lines since the material's previous face
    bool good = true;
    while (good && nextLine(reader)) {
        const std::string_view line = reader.line;
        if (isMaterialLine(line)) {
            inMaterial = line == material;
            continue;
        }
        if (!inMaterial) continue;
        if (isTextureLine(line)) {
            // A fourth texture line, or one after the last face, is taken by
            // no face.
            if (textureLinesAhead == 3 || counters.facesStored >= model.faceCount) {
                good = false;
                break;
            }
            if (--counters.corner < 1) counters.corner = 3;
            float* texCoord = model.faces[counters.facesStored].texCoord[counters.corner - 1];
            texCoord[0] = readFloatField(line, 1);
            texCoord[1] = readFloatField(line, 2);
            ++textureLinesAhead;
        } else if (isFaceLine(line)) {
            if (textureLinesAhead != 3 || counters.facesStored >= model.faceCount) {
                good = false;
                break;
            }
            Face& face = model.faces[counters.facesStored];
            for (int corner = 0; corner < 3 && good; ++corner)
                good = readFaceIndex(line, corner + 1, model.vertexCount, face.vertexIndex[corner]);
            ++counters.facesStored;
            textureLinesAhead = 0;
        }
    }
    return good && textureLinesAhead == 0;
}

void setMaterialValues(Material& material) {
    for (int channel = 0; channel < 4; ++channel) {
        material.colour[channel] = 1.0f;
        material.ambient[channel] = 0.5f;
        material.diffuse[channel] = 0.75f;
        material.specular[channel] = 0.5f;
        material.emission[channel] = 0.0f;
    }
    material.shininess = 50.0f;
}

struct Double3 {
    double x, y, z;
};

Double3 widen(const Vector3& v) { return {v.x, v.y, v.z}; }

Vector3 difference(const Vector3& a, const Vector3& b) {
    return {static_cast<float>(static_cast<double>(a.x) - b.x), static_cast<float>(static_cast<double>(a.y) - b.y),
            static_cast<float>(static_cast<double>(a.z) - b.z)};
}

}  // namespace

Model* loadModel(const std::string& path, std::uint32_t textureSlotBase) {
    std::vector<std::uint8_t> bytes;
    if (!readWholeFile(path.c_str(), bytes)) return nullptr;
    return parseModel(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), textureSlotBase);
}

Model* parseModel(std::string_view text, std::uint32_t textureSlotBase) {
    Model* model = new Model{};
    if (!countingRead(*model, text)) {
        freeModel(model);
        return nullptr;
    }

    std::vector<std::string> materialLines;
    LoadCounters counters;
    for (std::int32_t m = 0; m < model->materialCount; ++m) {
        if (!discoveryRead(text, materialLines)) {
            freeModel(model);
            return nullptr;
        }
        const std::string& line = materialLines.back();
        Material& material = model->materials[m];
        material.firstFace = counters.facesStored;
        // The number that begins the name: characters 8 to 10 of the line.
        const double slot =
            std::nearbyint(readNumber(line.size() > 7 ? std::string_view(line).substr(7, 3) : std::string_view()) +
                           static_cast<double>(textureSlotBase));
        material.textureSlot = slot > 2147483647.0 ? 2147483647 : static_cast<std::int32_t>(std::fmax(slot, -1.0));
        if (m > 0) model->materials[m - 1].lastFace = counters.facesStored - 1;
        if (!collectionRead(*model, text, line, counters)) {
            freeModel(model);
            return nullptr;
        }
    }
    model->materials[model->materialCount - 1].lastFace = counters.facesStored - 1;
    if (counters.facesStored != model->faceCount) {
        freeModel(model);
        return nullptr;
    }

    for (std::int32_t m = 0; m < model->materialCount; ++m)
        if (model->materials[m].textureSlot < 0) model->materials[m].textureSlot = 0;
    computeFaceGeometry(*model);
    computeFacePlanes(*model);
    for (std::int32_t m = 0; m < model->materialCount; ++m) setMaterialValues(model->materials[m]);
    return model;
}

void computeFaceGeometry(Model& model) {
    for (std::int32_t v = 0; v < model.vertexCount; ++v) model.normals[v] = Vector3{};
    for (std::int32_t f = 0; f < model.faceCount; ++f) {
        Face& face = model.faces[f];
        const Vector3& p1 = model.positions[face.vertexIndex[0]];
        const Vector3& p2 = model.positions[face.vertexIndex[1]];
        const Vector3& p3 = model.positions[face.vertexIndex[2]];
        face.centre.x = static_cast<float>((static_cast<double>(p1.x) + p2.x + p3.x) / 3.0);
        face.centre.y = static_cast<float>((static_cast<double>(p1.y) + p2.y + p3.y) / 3.0);
        face.centre.z = static_cast<float>((static_cast<double>(p1.z) + p2.z + p3.z) / 3.0);
        face.normal = triangleNormal(p1, p2, p3);
        for (int corner = 0; corner < 3; ++corner) {
            Vector3& normal = model.normals[face.vertexIndex[corner]];
            normal.x = static_cast<float>(static_cast<double>(normal.x) + face.normal.x);
            normal.y = static_cast<float>(static_cast<double>(normal.y) + face.normal.y);
            normal.z = static_cast<float>(static_cast<double>(normal.z) + face.normal.z);
        }
    }
    for (std::int32_t f = 0; f < model.faceCount; ++f)
        for (int corner = 0; corner < 3; ++corner) normalizeVector(model.normals[model.faces[f].vertexIndex[corner]]);
}

void computeFacePlanes(Model& model) {
    for (std::int32_t f = 0; f < model.faceCount; ++f) {
        Face& face = model.faces[f];
        const Double3 p1 = widen(model.positions[face.vertexIndex[0]]);
        const Double3 p2 = widen(model.positions[face.vertexIndex[1]]);
        const Double3 p3 = widen(model.positions[face.vertexIndex[2]]);
        const double a = p1.y * (p2.z - p3.z) + p2.y * (p3.z - p1.z) + p3.y * (p1.z - p2.z);
        const double b = p1.z * (p2.x - p3.x) + p2.z * (p3.x - p1.x) + p3.z * (p1.x - p2.x);
        const double c = p1.x * (p2.y - p3.y) + p2.x * (p3.y - p1.y) + p3.x * (p1.y - p2.y);
        const double d = -(p1.x * (p2.y * p3.z - p3.y * p2.z) + p2.x * (p3.y * p1.z - p1.y * p3.z) +
                           p3.x * (p1.y * p2.z - p2.y * p1.z));
        face.plane[0] = static_cast<float>(a);
        face.plane[1] = static_cast<float>(b);
        face.plane[2] = static_cast<float>(c);
        face.plane[3] = static_cast<float>(d);
    }
}

Vector3 crossProduct(const Vector3& a, const Vector3& b) {
    const Double3 u = widen(a), v = widen(b);
    return {static_cast<float>(u.y * v.z - u.z * v.y), static_cast<float>(u.z * v.x - u.x * v.z),
            static_cast<float>(u.x * v.y - u.y * v.x)};
}

float vectorLength(const Vector3& v) {
    const Double3 u = widen(v);
    const double length = std::sqrt(u.x * u.x + u.y * u.y + u.z * u.z);
    return length == 0.0 ? 1.0f : static_cast<float>(length);
}

void normalizeVector(Vector3& v) {
    const double length = vectorLength(v);
    v.x = static_cast<float>(v.x / length);
    v.y = static_cast<float>(v.y / length);
    v.z = static_cast<float>(v.z / length);
}

Vector3 triangleNormal(const Vector3& p1, const Vector3& p2, const Vector3& p3) {
    // Each step stores its floats: the edges, their cross product, then the
    // normalised result.
    const Vector3 edge1 = difference(p2, p1), edge2 = difference(p3, p1);
    Vector3 normal = crossProduct(edge1, edge2);
    normalizeVector(normal);
    return normal;
}

void freeModel(Model* model) {
    if (!model) return;
    delete[] model->faces;
    delete[] model->positions;
    delete[] model->normals;
    delete[] model->materials;
    delete model;
}
