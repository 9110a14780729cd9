// The game's fixed-function GL on WebGL 2. Everything GL 1.1 keeps as state
// (matrices, the light, the material, the current colour, normal and
// texture coordinate, polygon modes, display lists, the name stack) lives
// here; one shader does per-vertex lighting as GL 1.1 defines it and
// modulates by the bound texture. The calls WebGL has as they are (depth,
// stencil, clears, texture parameters, frame buffers) go straight to it.
#define GL_LAYER_NO_RENAMING
#include "platform/web/gl_layer.h"

#include <GLES3/gl3.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

// A 4 x 4 matrix, columns one after the other, as GL keeps it.
struct Matrix {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

Matrix product(const Matrix& a, const Matrix& b) {
    Matrix p;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.m[k * 4 + row] * b.m[column * 4 + k];
            p.m[column * 4 + row] = sum;
        }
    }
    return p;
}

void transform(const Matrix& a, const float in[4], float out[4]) {
    for (int row = 0; row < 4; ++row)
        out[row] = a.m[row] * in[0] + a.m[4 + row] * in[1] + a.m[8 + row] * in[2] + a.m[12 + row] * in[3];
}

// One corner as glVertex hands it over, with the attributes current then.
struct Vertex {
    float position[3] = {0, 0, 0};  // object units
    float normal[3] = {0, 0, 1};
    float texCoord[2] = {0, 0};
    float colour[4] = {1, 1, 1, 1};  // RGBA
};

// One corner of the quad that draws a polygon edge as a line: the edge's
// end it belongs to, the other end, which end and side it is, and the
// polygon's first three corners for its facing and depth slope.
struct LineVertex {
    Vertex self;
    float other[3] = {0, 0, 0};
    float corner[2] = {0, 0};  // 1 at the edge's first end, -1 at its second; side -1 or 1
    float triangle[9] = {};
};

// Which current attributes a batch of a display list gave itself (its
// vertices carry them), and which it left to the values current when the
// list runs. Corners before an attribute's first call within a batch keep
// the value current while the list was compiled: the game gives each
// attribute before the first vertex or not at all.
struct Given {
    bool normal = false;
    bool texCoord = false;
    bool colour = false;
};

// Triangles or quads between one glBegin and glEnd.
struct Batch {
    GLenum mode = GL_TRIANGLES;
    std::vector<Vertex> vertices;
    Given given;
    Vertex last;  // the attributes current after the batch's last call
    GLuint fillBuffer = 0;
    GLsizei fillCount = 0;
    GLuint lineBuffer = 0;
    GLsizei lineCount = 0;
};

enum class Op {
    enable,
    disable,
    blendFunc,
    bindTexture,
    material,
    colour,
    polygonMode,
    polygonOffset,
    translate,
    draw
};

struct Command {
    Op op = Op::draw;
    GLenum a = 0, b = 0;
    float v[4] = {0, 0, 0, 0};
    int batch = -1;
};

struct DisplayList {
    std::vector<Command> commands;
    std::vector<Batch> batches;
};

struct MaterialState {
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1};
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1};
    float specular[4] = {0, 0, 0, 1};
    float emission[4] = {0, 0, 0, 1};
    float shininess = 0;
};

struct LightState {
    float ambient[4] = {0, 0, 0, 1};
    float diffuse[4] = {1, 1, 1, 1};
    float specular[4] = {1, 1, 1, 1};
    float eyePosition[4] = {0, 0, 1, 0};  // as glLightfv got it, through the modelview then
};

struct ClientArrays {
    bool vertexArray = false;
    GLint size = 4;
    GLsizei stride = 0;
    const GLvoid* pointer = nullptr;
};

// Where each uniform is and what it was last given.
struct Uniform {
    GLint location = -1;
    float value[16] = {};
    int count = -1;  // floats last sent, -1 before the first
};

struct ShaderUniforms {
    Uniform modelview, projection, textureMatrix, normalMatrix;
    Uniform lighting, light0, colourMaterial, lines, cullBack, texturing, lineSmooth;
    Uniform lightPosition, lightAmbient, lightDiffuse, lightSpecular, sceneAmbient;
    Uniform ambient, diffuse, specular, emission, shininess;
    Uniform viewport, lineOffset, lineHalfWidth;
};

struct Layer {
    std::vector<Matrix> stacks[3] = {{Matrix()}, {Matrix()}, {Matrix()}};  // modelview, projection, texture
    int matrixMode = 0;
    bool lighting = false, light0 = false, texture2D = false, colourMaterial = false;
    bool lineSmooth = false, polygonOffsetLine = false, cullFace = false;
    GLenum polygonModeFront = GL_FILL;
    float offsetFactor = 0, offsetUnits = 0;
    MaterialState material;
    LightState light;
    Vertex current;
    GLint viewport[4] = {0, 0, 0, 0};
    GLuint boundTexture = 0;
    std::vector<bool> textureHasImage;
    bool saturateBlend = false;

    bool inBegin = false;
    GLenum beginMode = GL_TRIANGLES;
    std::vector<Vertex> pending;
    Given pendingGiven;
    Vertex beforeBatch;  // the current attributes when a compiled batch began: compiling leaves them

    std::unordered_map<GLuint, DisplayList> lists;
    GLuint nextList = 1;
    GLuint listBase = 0;
    GLuint compiling = 0;
    int callDepth = 0;

    ClientArrays client;
    std::vector<ClientArrays> clientStack;

    GLenum renderMode = GL_RENDER;
    GLuint* selectBuffer = nullptr;
    GLsizei selectSize = 0;
    GLsizei selectUsed = 0;
    GLint hits = 0;
    bool selectOverflow = false;
    std::vector<GLuint> names;
    bool hitFlag = false;
    float hitMin = 1, hitMax = 0;

    GLuint program = 0;
    GLuint vertexArray = 0;
    GLuint streamBuffer = 0;
    ShaderUniforms uniforms;
    GlLayerCounts counts;
};

Layer layer;

constexpr int attributePosition = 0, attributeNormal = 1, attributeTexCoord = 2, attributeColour = 3;
constexpr int attributeOther = 4, attributeCorner = 5, attributeTriangle = 6;  // 6, 7, 8

constexpr const char* vertexShader = R"(#version 300 es
precision highp float;
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec2 aTexCoord;
layout(location = 3) in vec4 aColour;
layout(location = 4) in vec3 aOther;
layout(location = 5) in vec2 aCorner;
layout(location = 6) in vec3 aTri0;
layout(location = 7) in vec3 aTri1;
layout(location = 8) in vec3 aTri2;
uniform mat4 uModelview, uProjection, uTextureMatrix;
uniform mat3 uNormalMatrix;
uniform bool uLighting, uLight0, uColourMaterial, uLines, uCullBack;
uniform vec4 uLightPosition, uLightAmbient, uLightDiffuse, uLightSpecular, uSceneAmbient;
uniform vec4 uAmbient, uDiffuse, uSpecular, uEmission;
uniform float uShininess;
uniform vec4 uViewport;
uniform vec2 uLineOffset;
uniform float uLineHalfWidth;
out vec4 vColour;
out vec2 vTexCoord;
out float vAcross;

vec4 clipOf(vec3 p) { return uProjection * (uModelview * vec4(p, 1.0)); }
vec3 windowOf(vec4 c) {
    vec3 n = c.xyz / c.w;
    return vec3(uViewport.xy + (n.xy * 0.5 + 0.5) * uViewport.zw, n.z * 0.5 + 0.5);
}

void main() {
    vec4 eye = uModelview * vec4(aPosition, 1.0);
    vec4 colour = aColour;
    if (uLighting) {
        // GL 1.1's lighting with one light and a viewer at infinity.
        vec4 ambient = uColourMaterial ? aColour : uAmbient;
        vec4 diffuse = uColourMaterial ? aColour : uDiffuse;
        vec3 c = uEmission.rgb + ambient.rgb * uSceneAmbient.rgb;
        if (uLight0) {
            vec3 n = uNormalMatrix * aNormal;
            vec3 toLight = uLightPosition.w != 0.0
                ? uLightPosition.xyz / uLightPosition.w - eye.xyz / eye.w : uLightPosition.xyz;
            toLight = normalize(toLight);
            float nDotL = dot(n, toLight);
            c += ambient.rgb * uLightAmbient.rgb;
            if (nDotL > 0.0) {
                c += nDotL * diffuse.rgb * uLightDiffuse.rgb;
                float nDotH = max(dot(n, normalize(toLight + vec3(0.0, 0.0, 1.0))), 0.0);
                float shine = uShininess == 0.0 ? 1.0 : pow(nDotH, uShininess);
                c += shine * uSpecular.rgb * uLightSpecular.rgb;
            }
        }
        colour = vec4(clamp(c, 0.0, 1.0), clamp(diffuse.a, 0.0, 1.0));
    }
    vColour = colour;
    vec4 t = uTextureMatrix * vec4(aTexCoord, 0.0, 1.0);
    vTexCoord = t.xy / t.w;
    vec4 position = uProjection * eye;
    vAcross = 0.0;
    if (uLines) {
        // The polygon's facing and depth slope from its first three corners.
        vec3 w0 = windowOf(clipOf(aTri0)), w1 = windowOf(clipOf(aTri1)), w2 = windowOf(clipOf(aTri2));
        vec3 e1 = w1 - w0, e2 = w2 - w0;
        float area = e1.x * e2.y - e2.x * e1.y;
        if (area == 0.0 || (uCullBack && area < 0.0)) {
            gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
            return;
        }
        vec3 normal = cross(e1, e2);
        float slope = max(abs(normal.x / normal.z), abs(normal.y / normal.z));
        float offset = uLineOffset.x * slope + uLineOffset.y / 16777215.0;
        // The edge as a quad around its centre line, half a pixel longer at each end.
        vec2 self = windowOf(position).xy, other = windowOf(clipOf(aOther)).xy;
        vec2 along = self - other;
        along = dot(along, along) > 0.0 ? normalize(along) : vec2(1.0, 0.0);
        vec2 side = vec2(-along.y, along.x) * aCorner.x;
        vec2 moved = self + 0.5 * along + side * aCorner.y * uLineHalfWidth;
        position.xy = ((moved - uViewport.xy) / uViewport.zw * 2.0 - 1.0) * position.w;
        position.z += 2.0 * offset * position.w;
        vAcross = aCorner.y;
    }
    gl_Position = position;
}
)";

constexpr const char* fragmentShader = R"(#version 300 es
precision highp float;
in vec4 vColour;
in vec2 vTexCoord;
in float vAcross;
uniform bool uTexturing, uLines, uLineSmooth;
uniform sampler2D uImage;
out vec4 fragColour;
void main() {
    vec4 c = vColour;
    if (uTexturing) c *= texture(uImage, vTexCoord);
    if (uLines && uLineSmooth) c.a *= clamp(1.0 - abs(vAcross), 0.0, 1.0);
    fragColour = c;
}
)";

GLuint compileShader(GLenum kind, const char* source) {
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "GL layer shader: %s\n", log);
    }
    return shader;
}

Matrix& top(int stack) { return layer.stacks[stack].back(); }
Matrix& currentMatrix() { return top(layer.matrixMode); }
void multiply(const Matrix& by) { currentMatrix() = product(currentMatrix(), by); }

bool recording() { return layer.compiling != 0 && layer.callDepth == 0; }
DisplayList& compiled() { return layer.lists[layer.compiling]; }

void record(Op op, GLenum a = 0, GLenum b = 0, const float* v = nullptr, int count = 0) {
    Command command;
    command.op = op;
    command.a = a;
    command.b = b;
    for (int k = 0; k < count; ++k) command.v[k] = v[k];
    compiled().commands.push_back(command);
}

// Uniforms: sent only when they change.
void sendFloats(Uniform& uniform, const float* values, int count) {
    if (uniform.location < 0) return;
    if (uniform.count == count && std::memcmp(uniform.value, values, sizeof(float) * count) == 0) return;
    std::memcpy(uniform.value, values, sizeof(float) * count);
    uniform.count = count;
    switch (count) {
        case 1:
            glUniform1f(uniform.location, values[0]);
            break;
        case 2:
            glUniform2fv(uniform.location, 1, values);
            break;
        case 4:
            glUniform4fv(uniform.location, 1, values);
            break;
        case 9:
            glUniformMatrix3fv(uniform.location, 1, GL_FALSE, values);
            break;
        default:
            glUniformMatrix4fv(uniform.location, 1, GL_FALSE, values);
            break;
    }
}

void sendFlag(Uniform& uniform, bool on) {
    if (uniform.location < 0 || uniform.count == (on ? 1 : 0) + 100) return;
    uniform.count = (on ? 1 : 0) + 100;
    glUniform1i(uniform.location, on ? 1 : 0);
}

// The inverse transpose of the modelview's upper 3 x 3, which carries normals.
void normalMatrix(const Matrix& modelview, float out[9]) {
    const float* m = modelview.m;
    const float a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9], g = m[2], h = m[6], i = m[10];
    const float det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    const float inv = det != 0 ? 1 / det : 0;
    // Column-major inverse transpose: element (row r, column c) = cofactor(r, c) / det.
    out[0] = (e * i - f * h) * inv;
    out[1] = -(b * i - c * h) * inv;
    out[2] = (b * f - c * e) * inv;
    out[3] = -(d * i - f * g) * inv;
    out[4] = (a * i - c * g) * inv;
    out[5] = -(a * f - c * d) * inv;
    out[6] = (d * h - e * g) * inv;
    out[7] = -(a * h - b * g) * inv;
    out[8] = (a * e - b * d) * inv;
}

bool texturing() {
    const GLuint t = layer.boundTexture;
    return layer.texture2D && t != 0 && t < layer.textureHasImage.size() && layer.textureHasImage[t];
}

void sendState(bool lines) {
    ShaderUniforms& u = layer.uniforms;
    const Matrix& modelview = top(0);
    sendFloats(u.modelview, modelview.m, 16);
    sendFloats(u.projection, top(1).m, 16);
    sendFloats(u.textureMatrix, top(2).m, 16);
    sendFlag(u.lighting, layer.lighting);
    if (layer.lighting) {
        float normals[9];
        normalMatrix(modelview, normals);
        sendFloats(u.normalMatrix, normals, 9);
        sendFlag(u.light0, layer.light0);
        sendFlag(u.colourMaterial, layer.colourMaterial);
        sendFloats(u.lightPosition, layer.light.eyePosition, 4);
        sendFloats(u.lightAmbient, layer.light.ambient, 4);
        sendFloats(u.lightDiffuse, layer.light.diffuse, 4);
        sendFloats(u.lightSpecular, layer.light.specular, 4);
        sendFloats(u.ambient, layer.material.ambient, 4);
        sendFloats(u.diffuse, layer.material.diffuse, 4);
        sendFloats(u.specular, layer.material.specular, 4);
        sendFloats(u.emission, layer.material.emission, 4);
        sendFloats(u.shininess, &layer.material.shininess, 1);
    }
    sendFlag(u.texturing, texturing());
    sendFlag(u.lines, lines);
    if (lines) {
        sendFlag(u.cullBack, layer.cullFace);
        sendFlag(u.lineSmooth, layer.lineSmooth);
        const float viewport[4] = {static_cast<float>(layer.viewport[0]), static_cast<float>(layer.viewport[1]),
                                   static_cast<float>(layer.viewport[2]), static_cast<float>(layer.viewport[3])};
        sendFloats(u.viewport, viewport, 4);
        const float offset[2] = {layer.polygonOffsetLine ? layer.offsetFactor : 0.0f,
                                 layer.polygonOffsetLine ? layer.offsetUnits : 0.0f};
        sendFloats(u.lineOffset, offset, 2);
        const float halfWidth = layer.lineSmooth ? 1.0f : 0.5f;
        sendFloats(u.lineHalfWidth, &halfWidth, 1);
    }
}

// The corners of each polygon of a batch: triangles as they come, quads as
// their four corners.
int cornersPerPolygon(GLenum mode) { return mode == GL_QUADS ? 4 : 3; }

std::vector<Vertex> fillTriangles(GLenum mode, const std::vector<Vertex>& vertices) {
    if (mode != GL_QUADS) return vertices;
    std::vector<Vertex> triangles;
    for (std::size_t q = 0; q + 3 < vertices.size(); q += 4) {
        for (const int k : {0, 1, 2, 0, 2, 3}) triangles.push_back(vertices[q + k]);
    }
    return triangles;
}

std::vector<LineVertex> edgeQuads(GLenum mode, const std::vector<Vertex>& vertices) {
    std::vector<LineVertex> quads;
    const std::size_t n = cornersPerPolygon(mode);
    for (std::size_t p = 0; p + n <= vertices.size(); p += n) {
        float triangle[9];
        for (int k = 0; k < 3; ++k) std::memcpy(triangle + 3 * k, vertices[p + k].position, sizeof(float) * 3);
        for (std::size_t e = 0; e < n; ++e) {
            const Vertex& first = vertices[p + e];
            const Vertex& second = vertices[p + (e + 1) % n];
            LineVertex corners[4];
            const float ends[4] = {1, 1, -1, -1};
            const float sides[4] = {1, -1, -1, 1};
            for (int k = 0; k < 4; ++k) {
                const bool atFirst = ends[k] > 0;
                corners[k].self = atFirst ? first : second;
                std::memcpy(corners[k].other, (atFirst ? second : first).position, sizeof(float) * 3);
                corners[k].corner[0] = ends[k];
                corners[k].corner[1] = sides[k];
                std::memcpy(corners[k].triangle, triangle, sizeof triangle);
            }
            for (const int k : {0, 1, 2, 0, 2, 3}) quads.push_back(corners[k]);
        }
    }
    return quads;
}

void pointAttribute(int location, int size, GLsizei stride, std::size_t offset, bool given) {
    if (given) {
        glEnableVertexAttribArray(location);
        glVertexAttribPointer(location, size, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offset));
    } else {
        glDisableVertexAttribArray(location);
    }
}

// Attributes the batch leaves to the current values.
void sendCurrentAttributes(const Given& given) {
    const Vertex& c = layer.current;
    if (!given.normal) glVertexAttrib3f(attributeNormal, c.normal[0], c.normal[1], c.normal[2]);
    if (!given.texCoord) glVertexAttrib4f(attributeTexCoord, c.texCoord[0], c.texCoord[1], 0, 1);
    if (!given.colour) glVertexAttrib4f(attributeColour, c.colour[0], c.colour[1], c.colour[2], c.colour[3]);
}

void pointVertexAttributes(GLsizei stride, std::size_t base, const Given& given) {
    pointAttribute(attributePosition, 3, stride, base + offsetof(Vertex, position), true);
    pointAttribute(attributeNormal, 3, stride, base + offsetof(Vertex, normal), given.normal);
    pointAttribute(attributeTexCoord, 2, stride, base + offsetof(Vertex, texCoord), given.texCoord);
    pointAttribute(attributeColour, 4, stride, base + offsetof(Vertex, colour), given.colour);
    sendCurrentAttributes(given);
}

void drawFill(GLuint buffer, GLsizei count, const Given& given) {
    sendState(false);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    pointVertexAttributes(sizeof(Vertex), 0, given);
    for (int k = attributeOther; k <= attributeTriangle + 2; ++k) glDisableVertexAttribArray(k);
    glDrawArrays(GL_TRIANGLES, 0, count);
    ++layer.counts.draws;
    layer.counts.vertices += count;
}

void drawLines(GLuint buffer, GLsizei count, const Given& given) {
    sendState(true);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    pointVertexAttributes(sizeof(LineVertex), offsetof(LineVertex, self), given);
    pointAttribute(attributeOther, 3, sizeof(LineVertex), offsetof(LineVertex, other), true);
    pointAttribute(attributeCorner, 2, sizeof(LineVertex), offsetof(LineVertex, corner), true);
    for (int k = 0; k < 3; ++k)
        pointAttribute(attributeTriangle + k, 3, sizeof(LineVertex), offsetof(LineVertex, triangle) + 12 * k, true);
    // The shader culls by the polygon's facing; the quads face either way.
    if (layer.cullFace) glDisable(GL_CULL_FACE);
    glDrawArrays(GL_TRIANGLES, 0, count);
    if (layer.cullFace) glEnable(GL_CULL_FACE);
    ++layer.counts.draws;
    layer.counts.vertices += count;
}

// Selection: every polygon that reaches the view volume (after culling)
// marks a hit with its depth range, as GL's selection mode does.
struct ClipPolygon {
    float corners[9][4];  // a triangle cut by six planes has at most nine corners
    int count = 0;
};

// The corner's distance inside plane (axis, sign): w + sign * coordinate.
float inside(const float corner[4], int axis, float sign) { return corner[3] + sign * corner[axis]; }

void clipAgainst(ClipPolygon& polygon, int axis, float sign) {
    ClipPolygon kept;
    for (int k = 0; k < polygon.count; ++k) {
        const float* a = polygon.corners[k];
        const float* b = polygon.corners[(k + 1) % polygon.count];
        const float da = inside(a, axis, sign), db = inside(b, axis, sign);
        if (da >= 0) std::memcpy(kept.corners[kept.count++], a, sizeof(float) * 4);
        if ((da >= 0) != (db >= 0)) {
            const float t = da / (da - db);
            float* cut = kept.corners[kept.count++];
            for (int c = 0; c < 4; ++c) cut[c] = a[c] + t * (b[c] - a[c]);
        }
    }
    polygon = kept;
}

void selectTriangle(const float* c0, const float* c1, const float* c2) {
    // Wholly outside one plane: no hit, and no need to cut.
    for (int axis = 0; axis < 3; ++axis) {
        for (const float sign : {1.0f, -1.0f}) {
            if (inside(c0, axis, sign) < 0 && inside(c1, axis, sign) < 0 && inside(c2, axis, sign) < 0) return;
        }
    }
    if (layer.cullFace) {
        // The sign of det(x, y, w) is the facing for corners in front of the eye.
        const float det = c0[0] * (c1[1] * c2[3] - c1[3] * c2[1]) - c0[1] * (c1[0] * c2[3] - c1[3] * c2[0]) +
                          c0[3] * (c1[0] * c2[1] - c1[1] * c2[0]);
        if (det <= 0) return;
    }
    ClipPolygon polygon;
    polygon.count = 3;
    std::memcpy(polygon.corners[0], c0, sizeof(float) * 4);
    std::memcpy(polygon.corners[1], c1, sizeof(float) * 4);
    std::memcpy(polygon.corners[2], c2, sizeof(float) * 4);
    for (int axis = 0; axis < 3 && polygon.count > 0; ++axis) {
        clipAgainst(polygon, axis, 1);
        if (polygon.count > 0) clipAgainst(polygon, axis, -1);
    }
    for (int k = 0; k < polygon.count; ++k) {
        const float z = polygon.corners[k][2] / polygon.corners[k][3] * 0.5f + 0.5f;
        layer.hitFlag = true;
        layer.hitMin = std::min(layer.hitMin, z);
        layer.hitMax = std::max(layer.hitMax, z);
    }
}

// Positions (three floats each, stride floats apart) as polygons of the mode.
void selectPositions(const float* positions, std::size_t stride, std::size_t count, GLenum mode) {
    const Matrix mvp = product(top(1), top(0));
    const std::size_t n = cornersPerPolygon(mode);
    for (std::size_t p = 0; p + n <= count; p += n) {
        float clip[4][4];
        for (std::size_t k = 0; k < n; ++k) {
            const float* v = positions + (p + k) * stride;
            const float in[4] = {v[0], v[1], v[2], 1};
            transform(mvp, in, clip[k]);
        }
        selectTriangle(clip[0], clip[1], clip[2]);
        if (n == 4) selectTriangle(clip[0], clip[2], clip[3]);
    }
}

void writeHitRecord() {
    if (!layer.hitFlag) return;
    const float zscale = 4294967295.0f;
    const auto depth = [&](float z) {
        const float scaled = zscale * std::clamp(z, 0.0f, 1.0f);
        return scaled >= 4294967295.0f ? 0xffffffffu : static_cast<GLuint>(scaled);
    };
    const GLuint record[3] = {static_cast<GLuint>(layer.names.size()), depth(layer.hitMin), depth(layer.hitMax)};
    std::vector<GLuint> words(record, record + 3);
    words.insert(words.end(), layer.names.begin(), layer.names.end());
    for (const GLuint word : words) {
        if (layer.selectUsed < layer.selectSize)
            layer.selectBuffer[layer.selectUsed++] = word;
        else
            layer.selectOverflow = true;
    }
    ++layer.hits;
    layer.hitFlag = false;
    layer.hitMin = 1;
    layer.hitMax = 0;
}

void streamDraw(GLenum mode, const std::vector<Vertex>& vertices, const Given& given) {
    if (layer.polygonModeFront == GL_LINE) {
        const std::vector<LineVertex> quads = edgeQuads(mode, vertices);
        glBindBuffer(GL_ARRAY_BUFFER, layer.streamBuffer);
        glBufferData(GL_ARRAY_BUFFER, quads.size() * sizeof(LineVertex), quads.data(), GL_STREAM_DRAW);
        drawLines(layer.streamBuffer, static_cast<GLsizei>(quads.size()), given);
    } else {
        const std::vector<Vertex> triangles = fillTriangles(mode, vertices);
        glBindBuffer(GL_ARRAY_BUFFER, layer.streamBuffer);
        glBufferData(GL_ARRAY_BUFFER, triangles.size() * sizeof(Vertex), triangles.data(), GL_STREAM_DRAW);
        drawFill(layer.streamBuffer, static_cast<GLsizei>(triangles.size()), given);
    }
}

void updateColourMaterial() {
    if (!layer.colourMaterial) return;
    std::memcpy(layer.material.ambient, layer.current.colour, sizeof layer.material.ambient);
    std::memcpy(layer.material.diffuse, layer.current.colour, sizeof layer.material.diffuse);
}

void drawBatch(Batch& batch) {
    if (layer.renderMode == GL_SELECT) {
        selectPositions(batch.vertices.front().position, sizeof(Vertex) / sizeof(float), batch.vertices.size(),
                        batch.mode);
    } else if (layer.polygonModeFront == GL_LINE) {
        if (batch.lineBuffer == 0) {
            const std::vector<LineVertex> quads = edgeQuads(batch.mode, batch.vertices);
            glGenBuffers(1, &batch.lineBuffer);
            glBindBuffer(GL_ARRAY_BUFFER, batch.lineBuffer);
            glBufferData(GL_ARRAY_BUFFER, quads.size() * sizeof(LineVertex), quads.data(), GL_STATIC_DRAW);
            batch.lineCount = static_cast<GLsizei>(quads.size());
        }
        drawLines(batch.lineBuffer, batch.lineCount, batch.given);
    } else {
        drawFill(batch.fillBuffer, batch.fillCount, batch.given);
    }
    if (batch.given.normal) std::memcpy(layer.current.normal, batch.last.normal, sizeof batch.last.normal);
    if (batch.given.texCoord) std::memcpy(layer.current.texCoord, batch.last.texCoord, sizeof batch.last.texCoord);
    if (batch.given.colour) {
        std::memcpy(layer.current.colour, batch.last.colour, sizeof batch.last.colour);
        updateColourMaterial();
    }
}

void setCapability(GLenum cap, bool on) {
    switch (cap) {
        case GL_LIGHTING:
            layer.lighting = on;
            return;
        case GL_LIGHT0:
            layer.light0 = on;
            return;
        case GL_TEXTURE_2D:
            layer.texture2D = on;
            return;
        case GL_COLOR_MATERIAL:
            layer.colourMaterial = on;
            if (on) updateColourMaterial();
            return;
        case GL_LINE_SMOOTH:
            layer.lineSmooth = on;
            return;
        case GL_POLYGON_OFFSET_LINE:
            layer.polygonOffsetLine = on;
            return;
        case GL_NORMALIZE:
        case GL_RESCALE_NORMAL:
            // The game's modelviews keep lengths; the shader never rescales.
            return;
        case GL_CULL_FACE:
            layer.cullFace = on;
            break;
        default:
            break;
    }
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

void blendFunction(GLenum source, GLenum destination) {
    if (destination == GL_SRC_ALPHA_SATURATE && !layer.saturateBlend) {
        // Without the extension WebGL takes the saturated alpha as a source
        // factor only. One minus the destination's alpha is the same factor
        // wherever the source alpha is at least that: over every opaque
        // pixel (the tube, the background), and where the source is no
        // fainter than the destination is transparent.
        glBlendFuncSeparate(source, GL_ONE_MINUS_DST_ALPHA, source, GL_ONE);
        return;
    }
    glBlendFunc(source, destination);
}

void setMaterial(GLenum pname, const GLfloat* values) {
    MaterialState& m = layer.material;
    switch (pname) {
        case GL_AMBIENT:
            std::memcpy(m.ambient, values, sizeof m.ambient);
            break;
        case GL_DIFFUSE:
            std::memcpy(m.diffuse, values, sizeof m.diffuse);
            break;
        case GL_AMBIENT_AND_DIFFUSE:
            std::memcpy(m.ambient, values, sizeof m.ambient);
            std::memcpy(m.diffuse, values, sizeof m.diffuse);
            break;
        case GL_SPECULAR:
            std::memcpy(m.specular, values, sizeof m.specular);
            break;
        case GL_EMISSION:
            std::memcpy(m.emission, values, sizeof m.emission);
            break;
        case GL_SHININESS:
            m.shininess = values[0];
            break;
        default:
            break;
    }
}

int materialValueCount(GLenum pname) { return pname == GL_SHININESS ? 1 : 4; }

void runList(GLuint name) {
    const auto found = layer.lists.find(name);
    if (found == layer.lists.end() || layer.callDepth > 64) return;
    ++layer.callDepth;
    DisplayList& list = found->second;
    for (const Command& c : list.commands) {
        switch (c.op) {
            case Op::enable:
                setCapability(c.a, true);
                break;
            case Op::disable:
                setCapability(c.a, false);
                break;
            case Op::blendFunc:
                blendFunction(c.a, c.b);
                break;
            case Op::bindTexture:
                glLayerBindTexture(GL_TEXTURE_2D, c.a);
                break;
            case Op::material:
                setMaterial(c.a, c.v);
                break;
            case Op::colour:
                glLayerColor4f(c.v[0], c.v[1], c.v[2], c.v[3]);
                break;
            case Op::polygonMode:
                glLayerPolygonMode(c.a, c.b);
                break;
            case Op::polygonOffset:
                glLayerPolygonOffset(c.v[0], c.v[1]);
                break;
            case Op::translate:
                glLayerTranslatef(c.v[0], c.v[1], c.v[2]);
                break;
            case Op::draw:
                drawBatch(list.batches[c.batch]);
                break;
        }
    }
    --layer.callDepth;
}

void deleteListBuffers(DisplayList& list) {
    for (Batch& batch : list.batches) {
        if (batch.fillBuffer) glDeleteBuffers(1, &batch.fillBuffer);
        if (batch.lineBuffer) glDeleteBuffers(1, &batch.lineBuffer);
    }
}

bool isPowerOfTwo(GLsizei n) { return n > 0 && (n & (n - 1)) == 0; }

int channelsOf(GLenum format) {
    switch (format) {
        case GL_LUMINANCE:
        case GL_ALPHA:
        case GL_RED:
            return 1;
        case GL_LUMINANCE_ALPHA:
            return 2;
        case GL_RGB:
            return 3;
        default:
            return 4;
    }
}

// WebGL 2 takes an unsized internal format only when it equals the format.
GLenum internalFormatFor(GLint internalFormat, GLenum format) {
    switch (internalFormat) {
        case 1:
        case 2:
        case 3:
        case 4:
        case GL_LUMINANCE:
        case GL_LUMINANCE_ALPHA:
        case GL_ALPHA:
        case GL_RGB:
        case GL_RGBA:
            return format;
        default:
            return static_cast<GLenum>(internalFormat);
    }
}

void markImage(bool has) {
    const GLuint t = layer.boundTexture;
    if (t == 0) return;
    if (layer.textureHasImage.size() <= t) layer.textureHasImage.resize(t + 1, false);
    layer.textureHasImage[t] = has;
}

}  // namespace

bool glLayerStart() {
    const GLuint vertex = compileShader(GL_VERTEX_SHADER, vertexShader);
    const GLuint fragment = compileShader(GL_FRAGMENT_SHADER, fragmentShader);
    layer.program = glCreateProgram();
    glAttachShader(layer.program, vertex);
    glAttachShader(layer.program, fragment);
    glLinkProgram(layer.program);
    GLint linked = 0;
    glGetProgramiv(layer.program, GL_LINK_STATUS, &linked);
    if (!linked) return false;
    glUseProgram(layer.program);
    ShaderUniforms& u = layer.uniforms;
    const auto find = [](Uniform& uniform, const char* name) {
        uniform.location = glGetUniformLocation(layer.program, name);
    };
    find(u.modelview, "uModelview");
    find(u.projection, "uProjection");
    find(u.textureMatrix, "uTextureMatrix");
    find(u.normalMatrix, "uNormalMatrix");
    find(u.lighting, "uLighting");
    find(u.light0, "uLight0");
    find(u.colourMaterial, "uColourMaterial");
    find(u.lines, "uLines");
    find(u.cullBack, "uCullBack");
    find(u.texturing, "uTexturing");
    find(u.lineSmooth, "uLineSmooth");
    find(u.lightPosition, "uLightPosition");
    find(u.lightAmbient, "uLightAmbient");
    find(u.lightDiffuse, "uLightDiffuse");
    find(u.lightSpecular, "uLightSpecular");
    find(u.sceneAmbient, "uSceneAmbient");
    find(u.ambient, "uAmbient");
    find(u.diffuse, "uDiffuse");
    find(u.specular, "uSpecular");
    find(u.emission, "uEmission");
    find(u.shininess, "uShininess");
    find(u.viewport, "uViewport");
    find(u.lineOffset, "uLineOffset");
    find(u.lineHalfWidth, "uLineHalfWidth");
    const float sceneAmbient[4] = {0.2f, 0.2f, 0.2f, 1};
    sendFloats(u.sceneAmbient, sceneAmbient, 4);
    glUniform1i(glGetUniformLocation(layer.program, "uImage"), 0);

    glGenVertexArrays(1, &layer.vertexArray);
    glBindVertexArray(layer.vertexArray);
    glGenBuffers(1, &layer.streamBuffer);
    layer.saturateBlend =
        emscripten_webgl_enable_extension(emscripten_webgl_get_current_context(), "WEBGL_blend_func_extended");
    glGetIntegerv(GL_VIEWPORT, layer.viewport);
    return true;
}

GlLayerCounts glLayerTakeCounts() {
    const GlLayerCounts counts = layer.counts;
    layer.counts = GlLayerCounts();
    return counts;
}

bool glLayerHasSaturateBlend() { return layer.saturateBlend; }

void glLayerEnable(GLenum cap) {
    if (recording())
        record(Op::enable, cap);
    else
        setCapability(cap, true);
}

void glLayerDisable(GLenum cap) {
    if (recording())
        record(Op::disable, cap);
    else
        setCapability(cap, false);
}

// WebGL has neither hint, and draws smooth shading and perspective-correct textures anyway.
void glLayerHint(GLenum, GLenum) {}
void glLayerShadeModel(GLenum) {}
void glLayerClearDepth(GLclampd depth) { glClearDepthf(static_cast<GLfloat>(depth)); }

void glLayerViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    layer.viewport[0] = x;
    layer.viewport[1] = y;
    layer.viewport[2] = width;
    layer.viewport[3] = height;
    glViewport(x, y, width, height);
}

void glLayerBlendFunc(GLenum source, GLenum destination) {
    if (recording())
        record(Op::blendFunc, source, destination);
    else
        blendFunction(source, destination);
}

void glLayerPolygonMode(GLenum face, GLenum mode) {
    if (recording()) {
        record(Op::polygonMode, face, mode);
        return;
    }
    if (face == GL_FRONT || face == GL_FRONT_AND_BACK) layer.polygonModeFront = mode;
}

void glLayerPolygonOffset(GLfloat factor, GLfloat units) {
    if (recording()) {
        const float v[2] = {factor, units};
        record(Op::polygonOffset, 0, 0, v, 2);
        return;
    }
    layer.offsetFactor = factor;
    layer.offsetUnits = units;
    glPolygonOffset(factor, units);
}

// Only GL_MODULATE, the game's one texture function, is drawn.
void glLayerTexEnvf(GLenum, GLenum, GLfloat) {}

void glLayerMatrixMode(GLenum mode) { layer.matrixMode = mode == GL_PROJECTION ? 1 : mode == GL_TEXTURE ? 2 : 0; }

void glLayerLoadIdentity() { currentMatrix() = Matrix(); }

void glLayerPushMatrix() {
    std::vector<Matrix>& stack = layer.stacks[layer.matrixMode];
    stack.push_back(stack.back());
}

void glLayerPopMatrix() {
    std::vector<Matrix>& stack = layer.stacks[layer.matrixMode];
    if (stack.size() > 1) stack.pop_back();
}

void glLayerMultMatrixf(const GLfloat* m) {
    Matrix by;
    std::memcpy(by.m, m, sizeof by.m);
    multiply(by);
}

void glLayerTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    if (recording()) {
        const float v[3] = {x, y, z};
        record(Op::translate, 0, 0, v, 3);
        return;
    }
    Matrix& m = currentMatrix();
    for (int row = 0; row < 4; ++row) m.m[12 + row] += m.m[row] * x + m.m[4 + row] * y + m.m[8 + row] * z;
}

void glLayerTranslated(GLdouble x, GLdouble y, GLdouble z) {
    glLayerTranslatef(static_cast<GLfloat>(x), static_cast<GLfloat>(y), static_cast<GLfloat>(z));
}

void glLayerRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    const float radians = static_cast<float>(angle * M_PI / 180.0);
    const float s = std::sin(radians), c = std::cos(radians);
    Matrix r;
    float* m = r.m;
    const auto at = [&](int row, int column) -> float& { return m[column * 4 + row]; };
    if (x == 0 && y == 0 && z != 0) {
        at(0, 0) = c;
        at(1, 1) = c;
        at(0, 1) = z < 0 ? s : -s;
        at(1, 0) = z < 0 ? -s : s;
    } else if (x == 0 && z == 0 && y != 0) {
        at(0, 0) = c;
        at(2, 2) = c;
        at(0, 2) = y < 0 ? -s : s;
        at(2, 0) = y < 0 ? s : -s;
    } else if (y == 0 && z == 0 && x != 0) {
        at(1, 1) = c;
        at(2, 2) = c;
        at(1, 2) = x < 0 ? s : -s;
        at(2, 1) = x < 0 ? -s : s;
    } else {
        const float length = std::sqrt(x * x + y * y + z * z);
        if (length <= 1.0e-4f) return;
        x /= length;
        y /= length;
        z /= length;
        const float one = 1 - c;
        at(0, 0) = one * x * x + c;
        at(0, 1) = one * x * y - z * s;
        at(0, 2) = one * z * x + y * s;
        at(1, 0) = one * x * y + z * s;
        at(1, 1) = one * y * y + c;
        at(1, 2) = one * y * z - x * s;
        at(2, 0) = one * z * x - y * s;
        at(2, 1) = one * y * z + x * s;
        at(2, 2) = one * z * z + c;
    }
    multiply(r);
}

void glLayerScalef(GLfloat x, GLfloat y, GLfloat z) {
    Matrix& m = currentMatrix();
    for (int row = 0; row < 4; ++row) {
        m.m[row] *= x;
        m.m[4 + row] *= y;
        m.m[8 + row] *= z;
    }
}

void glLayerOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near, GLdouble far) {
    const float l = static_cast<float>(left), r = static_cast<float>(right), b = static_cast<float>(bottom);
    const float t = static_cast<float>(top), n = static_cast<float>(near), f = static_cast<float>(far);
    Matrix o;
    o.m[0] = 2 / (r - l);
    o.m[5] = 2 / (t - b);
    o.m[10] = -2 / (f - n);
    o.m[12] = -(r + l) / (r - l);
    o.m[13] = -(t + b) / (t - b);
    o.m[14] = -(f + n) / (f - n);
    multiply(o);
}

void glLayerGetFloatv(GLenum pname, GLfloat* values) {
    switch (pname) {
        case GL_MODELVIEW_MATRIX:
            std::memcpy(values, top(0).m, sizeof(float) * 16);
            return;
        case GL_PROJECTION_MATRIX:
            std::memcpy(values, top(1).m, sizeof(float) * 16);
            return;
        case GL_TEXTURE_MATRIX:
            std::memcpy(values, top(2).m, sizeof(float) * 16);
            return;
        default:
            glGetFloatv(pname, values);
    }
}

void glLayerGetIntegerv(GLenum pname, GLint* values) {
    switch (pname) {
        case GL_VIEWPORT:
            std::memcpy(values, layer.viewport, sizeof layer.viewport);
            return;
        case GL_MATRIX_MODE:
            values[0] = layer.matrixMode == 1 ? GL_PROJECTION : layer.matrixMode == 2 ? GL_TEXTURE : GL_MODELVIEW;
            return;
        case GL_RENDER_MODE:
            values[0] = static_cast<GLint>(layer.renderMode);
            return;
        case GL_MODELVIEW_STACK_DEPTH:
            values[0] = static_cast<GLint>(layer.stacks[0].size());
            return;
        case GL_PROJECTION_STACK_DEPTH:
            values[0] = static_cast<GLint>(layer.stacks[1].size());
            return;
        default:
            glGetIntegerv(pname, values);
    }
}

void gluLayerPerspective(GLdouble fovy, GLdouble aspect, GLdouble near, GLdouble far) {
    const double radians = fovy / 2 * M_PI / 180;
    const double deltaZ = far - near;
    const double sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0) return;
    const double cotangent = std::cos(radians) / sine;
    Matrix p;
    p.m[0] = static_cast<float>(cotangent / aspect);
    p.m[5] = static_cast<float>(cotangent);
    p.m[10] = static_cast<float>(-(far + near) / deltaZ);
    p.m[11] = -1;
    p.m[14] = static_cast<float>(-2 * near * far / deltaZ);
    p.m[15] = 0;
    multiply(p);
}

void gluLayerLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centreX, GLdouble centreY, GLdouble centreZ,
                    GLdouble upX, GLdouble upY, GLdouble upZ) {
    float forward[3] = {static_cast<float>(centreX - eyeX), static_cast<float>(centreY - eyeY),
                        static_cast<float>(centreZ - eyeZ)};
    float up[3] = {static_cast<float>(upX), static_cast<float>(upY), static_cast<float>(upZ)};
    const auto normalise = [](float v[3]) {
        const float r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (r == 0) return;
        for (int k = 0; k < 3; ++k) v[k] /= r;
    };
    const auto cross = [](const float a[3], const float b[3], float out[3]) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    normalise(forward);
    float side[3];
    cross(forward, up, side);
    normalise(side);
    cross(side, forward, up);
    Matrix m;
    for (int k = 0; k < 3; ++k) {
        m.m[k * 4 + 0] = side[k];
        m.m[k * 4 + 1] = up[k];
        m.m[k * 4 + 2] = -forward[k];
    }
    multiply(m);
    glLayerTranslated(-eyeX, -eyeY, -eyeZ);
}

void gluLayerPickMatrix(GLdouble x, GLdouble y, GLdouble width, GLdouble height, GLint viewport[4]) {
    if (width <= 0 || height <= 0) return;
    glLayerTranslatef(static_cast<GLfloat>((viewport[2] - 2 * (x - viewport[0])) / width),
                      static_cast<GLfloat>((viewport[3] - 2 * (y - viewport[1])) / height), 0);
    glLayerScalef(static_cast<GLfloat>(viewport[2] / width), static_cast<GLfloat>(viewport[3] / height), 1.0f);
}

void glLayerLightfv(GLenum light, GLenum pname, const GLfloat* values) {
    if (light != GL_LIGHT0) return;
    LightState& l = layer.light;
    switch (pname) {
        case GL_AMBIENT:
            std::memcpy(l.ambient, values, sizeof l.ambient);
            break;
        case GL_DIFFUSE:
            std::memcpy(l.diffuse, values, sizeof l.diffuse);
            break;
        case GL_SPECULAR:
            std::memcpy(l.specular, values, sizeof l.specular);
            break;
        case GL_POSITION:
            transform(top(0), values, l.eyePosition);
            break;
        default:
            break;
    }
}

void glLayerMaterialfv(GLenum, GLenum pname, const GLfloat* values) {
    if (recording()) {
        record(Op::material, pname, 0, values, materialValueCount(pname));
        return;
    }
    setMaterial(pname, values);
}

void glLayerBegin(GLenum mode) {
    layer.inBegin = true;
    layer.beginMode = mode;
    layer.pending.clear();
    layer.pendingGiven = Given();
    layer.beforeBatch = layer.current;
}

void glLayerEnd() {
    layer.inBegin = false;
    if (layer.pending.empty()) {
        if (recording()) layer.current = layer.beforeBatch;
        return;
    }
    if (recording()) {
        DisplayList& list = compiled();
        Batch batch;
        batch.mode = layer.beginMode;
        batch.vertices = layer.pending;
        batch.given = layer.pendingGiven;
        batch.last = layer.current;
        layer.current = layer.beforeBatch;
        const std::vector<Vertex> triangles = fillTriangles(batch.mode, batch.vertices);
        glGenBuffers(1, &batch.fillBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, batch.fillBuffer);
        glBufferData(GL_ARRAY_BUFFER, triangles.size() * sizeof(Vertex), triangles.data(), GL_STATIC_DRAW);
        batch.fillCount = static_cast<GLsizei>(triangles.size());
        list.batches.push_back(std::move(batch));
        Command command;
        command.op = Op::draw;
        command.batch = static_cast<int>(list.batches.size() - 1);
        list.commands.push_back(command);
        return;
    }
    if (layer.renderMode == GL_SELECT) {
        selectPositions(layer.pending.front().position, sizeof(Vertex) / sizeof(float), layer.pending.size(),
                        layer.beginMode);
        return;
    }
    streamDraw(layer.beginMode, layer.pending, Given{true, true, true});
}

namespace {

void addVertex(float x, float y, float z) {
    Vertex v = layer.current;
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    layer.pending.push_back(v);
}

// Inside glBegin and glEnd while a list is compiled, the batch gives the attribute.
void noteGiven(bool& given) {
    if (recording() && layer.inBegin) given = true;
}

}  // namespace

void glLayerVertex2i(GLint x, GLint y) { addVertex(static_cast<float>(x), static_cast<float>(y), 0); }
void glLayerVertex3f(GLfloat x, GLfloat y, GLfloat z) { addVertex(x, y, z); }
void glLayerVertex3fv(const GLfloat* v) { addVertex(v[0], v[1], v[2]); }

void glLayerNormal3fv(const GLfloat* v) {
    noteGiven(layer.pendingGiven.normal);
    std::memcpy(layer.current.normal, v, sizeof layer.current.normal);
}

void glLayerTexCoord2f(GLfloat s, GLfloat t) {
    noteGiven(layer.pendingGiven.texCoord);
    layer.current.texCoord[0] = s;
    layer.current.texCoord[1] = t;
}

void glLayerTexCoord2fv(const GLfloat* v) { glLayerTexCoord2f(v[0], v[1]); }

void glLayerColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    const float colour[4] = {r, g, b, a};
    if (recording() && !layer.inBegin) {
        record(Op::colour, 0, 0, colour, 4);
        return;
    }
    noteGiven(layer.pendingGiven.colour);
    std::memcpy(layer.current.colour, colour, sizeof colour);
    if (!recording()) updateColourMaterial();
}

void glLayerColor3f(GLfloat r, GLfloat g, GLfloat b) { glLayerColor4f(r, g, b, 1); }
void glLayerColor3ub(GLubyte r, GLubyte g, GLubyte b) { glLayerColor4f(r / 255.0f, g / 255.0f, b / 255.0f, 1); }
void glLayerColor4fv(const GLfloat* v) { glLayerColor4f(v[0], v[1], v[2], v[3]); }

void glLayerEnableClientState(GLenum array) {
    if (array == GL_VERTEX_ARRAY) layer.client.vertexArray = true;
}

void glLayerDisableClientState(GLenum array) {
    if (array == GL_VERTEX_ARRAY) layer.client.vertexArray = false;
}

void glLayerVertexPointer(GLint size, GLenum, GLsizei stride, const GLvoid* pointer) {
    layer.client.size = size;
    layer.client.stride = stride;
    layer.client.pointer = pointer;
}

void glLayerPushClientAttrib(GLbitfield) { layer.clientStack.push_back(layer.client); }

void glLayerPopClientAttrib() {
    if (layer.clientStack.empty()) return;
    layer.client = layer.clientStack.back();
    layer.clientStack.pop_back();
}

// Float positions from the client's vertex array, picked by unsigned indices.
void glLayerDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid* indices) {
    if (!layer.client.vertexArray || !layer.client.pointer || type != GL_UNSIGNED_INT || count <= 0) return;
    const GLint size = layer.client.size;
    const std::size_t stride = layer.client.stride ? layer.client.stride : sizeof(float) * size;
    const auto* base = static_cast<const unsigned char*>(layer.client.pointer);
    const auto* index = static_cast<const GLuint*>(indices);
    if (layer.renderMode == GL_SELECT) {
        static std::vector<float> positions;
        positions.resize(static_cast<std::size_t>(count) * 3);
        for (GLsizei k = 0; k < count; ++k) {
            const auto* p = reinterpret_cast<const float*>(base + stride * index[k]);
            positions[3 * k] = p[0];
            positions[3 * k + 1] = p[1];
            positions[3 * k + 2] = size > 2 ? p[2] : 0.0f;
        }
        selectPositions(positions.data(), 3, static_cast<std::size_t>(count), mode);
        return;
    }
    std::vector<Vertex> vertices(static_cast<std::size_t>(count), layer.current);
    for (GLsizei k = 0; k < count; ++k) {
        const auto* p = reinterpret_cast<const float*>(base + stride * index[k]);
        vertices[k].position[0] = p[0];
        vertices[k].position[1] = p[1];
        vertices[k].position[2] = size > 2 ? p[2] : 0.0f;
    }
    streamDraw(mode, vertices, Given{true, true, true});
}

GLuint glLayerGenLists(GLsizei range) {
    if (range <= 0) return 0;
    const GLuint first = layer.nextList;
    layer.nextList += static_cast<GLuint>(range);
    for (GLsizei k = 0; k < range; ++k) layer.lists[first + k];
    return first;
}

void glLayerNewList(GLuint list, GLenum) {
    DisplayList& old = layer.lists[list];
    deleteListBuffers(old);
    old = DisplayList();
    layer.compiling = list;
}

void glLayerEndList() { layer.compiling = 0; }

void glLayerCallList(GLuint list) {
    if (recording()) return;  // the game never nests lists
    runList(list);
}

void glLayerCallLists(GLsizei n, GLenum type, const GLvoid* lists) {
    if (type != GL_UNSIGNED_BYTE) return;
    const auto* offsets = static_cast<const GLubyte*>(lists);
    for (GLsizei k = 0; k < n; ++k) runList(layer.listBase + offsets[k]);
}

void glLayerListBase(GLuint base) { layer.listBase = base; }

void glLayerDeleteLists(GLuint list, GLsizei range) {
    for (GLsizei k = 0; k < range; ++k) {
        const auto found = layer.lists.find(list + k);
        if (found == layer.lists.end()) continue;
        deleteListBuffers(found->second);
        layer.lists.erase(found);
    }
}

void glLayerBindTexture(GLenum target, GLuint texture) {
    if (recording()) {
        record(Op::bindTexture, texture);
        return;
    }
    layer.boundTexture = texture;
    glBindTexture(target, texture);
}

void glLayerDeleteTextures(GLsizei n, const GLuint* textures) {
    for (GLsizei k = 0; k < n; ++k) {
        if (textures[k] < layer.textureHasImage.size()) layer.textureHasImage[textures[k]] = false;
    }
    glDeleteTextures(n, textures);
}

// GL sets the parameters of texture 0 too; WebGL has no texture 0 to set.
void glLayerTexParameterf(GLenum target, GLenum pname, GLfloat value) {
    if (layer.boundTexture != 0) glTexParameterf(target, pname, value);
}

void glLayerTexParameteri(GLenum target, GLenum pname, GLint value) {
    if (layer.boundTexture != 0) glTexParameteri(target, pname, value);
}

void glLayerTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                       GLenum format, GLenum type, const GLvoid* pixels) {
    glTexImage2D(target, level, static_cast<GLint>(internalFormatFor(internalFormat, format)), width, height, border,
                 format, type, pixels);
    if (level == 0) markImage(width > 0 && height > 0);
}

void glLayerCopyTexImage2D(GLenum target, GLint level, GLenum internalFormat, GLint x, GLint y, GLsizei width,
                           GLsizei height, GLint border) {
    glCopyTexImage2D(target, level, internalFormatFor(static_cast<GLint>(internalFormat), GL_RGBA), x, y, width, height,
                     border);
    if (level == 0) markImage(width > 0 && height > 0);
}

// GLU's mipmaps: each level the 2 x 2 box average of the one above, rounded
// to nearest. Pictures whose sides are no powers of two get WebGL's own
// mipmaps instead of GLU's rescaling.
GLint gluLayerBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height, GLenum format,
                             GLenum type, const void* data) {
    if (width < 1 || height < 1) return GLU_INVALID_VALUE;
    if (type != GL_UNSIGNED_BYTE) return GLU_INVALID_ENUM;
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    const int channels = channelsOf(format);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * channels;
    const std::size_t stride = (rowBytes + alignment - 1) / alignment * alignment;
    std::vector<unsigned char> level(rowBytes * height);
    for (GLsizei row = 0; row < height; ++row)
        std::memcpy(level.data() + row * rowBytes, static_cast<const unsigned char*>(data) + row * stride, rowBytes);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glLayerTexImage2D(target, 0, internalFormat, width, height, 0, format, type, level.data());
    if (!isPowerOfTwo(width) || !isPowerOfTwo(height)) {
        glGenerateMipmap(target);
    } else {
        GLsizei w = width, h = height;
        for (GLint n = 1; w > 1 || h > 1; ++n) {
            const GLsizei nw = std::max(1, w / 2), nh = std::max(1, h / 2);
            std::vector<unsigned char> next(static_cast<std::size_t>(nw) * nh * channels);
            for (GLsizei y = 0; y < nh; ++y) {
                for (GLsizei x = 0; x < nw; ++x) {
                    const GLsizei x0 = x * w / nw, y0 = y * h / nh;
                    const GLsizei x1 = w > 1 ? x0 + 1 : x0, y1 = h > 1 ? y0 + 1 : y0;
                    for (int c = 0; c < channels; ++c) {
                        const auto at = [&](GLsizei px, GLsizei py) {
                            return level[(static_cast<std::size_t>(py) * w + px) * channels + c];
                        };
                        const int sum = at(x0, y0) + at(x1, y0) + at(x0, y1) + at(x1, y1);
                        next[(static_cast<std::size_t>(y) * nw + x) * channels + c] =
                            static_cast<unsigned char>((sum + 2) / 4);
                    }
                }
            }
            w = nw;
            h = nh;
            level.swap(next);
            glLayerTexImage2D(target, n, internalFormat, w, h, 0, format, type, level.data());
        }
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    return 0;
}

void glLayerSelectBuffer(GLsizei size, GLuint* buffer) {
    layer.selectBuffer = buffer;
    layer.selectSize = size;
}

GLint glLayerRenderMode(GLenum mode) {
    GLint result = 0;
    if (layer.renderMode == GL_SELECT) {
        writeHitRecord();
        result = layer.selectOverflow ? -1 : layer.hits;
    }
    layer.renderMode = mode;
    if (mode == GL_SELECT) {
        layer.selectUsed = 0;
        layer.hits = 0;
        layer.selectOverflow = false;
        layer.hitFlag = false;
        layer.hitMin = 1;
        layer.hitMax = 0;
        layer.names.clear();
    }
    return result;
}

void glLayerInitNames() {
    if (layer.renderMode != GL_SELECT) return;
    writeHitRecord();
    layer.names.clear();
}

void glLayerPushName(GLuint name) {
    if (layer.renderMode != GL_SELECT) return;
    writeHitRecord();
    layer.names.push_back(name);
}

void glLayerLoadName(GLuint name) {
    if (layer.renderMode != GL_SELECT || layer.names.empty()) return;
    writeHitRecord();
    layer.names.back() = name;
}
