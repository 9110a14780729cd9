#include "game/steering.h"

#include <cmath>
#include <numbers>

namespace {

// The direction steered now: the first of those just pressed, else the one
// held before while it still is, else the first held.
int steeredDirection(const SteeringInput& input, int current) {
    for (int d = 0; d < steeringDirections; ++d)
        if (input.pressed[d]) return d;
    if (current >= 0 && input.held[current]) return current;
    for (int d = 0; d < steeringDirections; ++d)
        if (input.held[d]) return d;
    return -1;
}

// Tube i stands in row (i - 1) / 15 + 1 and column (i - 1) % 15 + 1; row 1
// is nearest the player, column 1 on the left.
int tubeAt(int row, int column) { return (row - 1) * boardSide + column; }

// The tube whose middle lands nearest the pointer.
int nearestTube(const Board& board, const ViewSettings& view, std::int32_t mouseX, std::int32_t mouseY) {
    int nearest = 1;
    double shortest = INFINITY;
    for (int i = 1; i <= tubeCount; ++i) {
        double x = 0, y = 0;
        if (!projectToFrame(board[i].position, view, camera, x, y)) continue;
        const double distance = std::hypot(x - mouseX, y - mouseY);
        if (distance < shortest) {
            shortest = distance;
            nearest = i;
        }
    }
    return nearest;
}

}  // namespace

Vector3 tubeAimPoint(const Model& tubeModel) {
    double meanX = 0, meanZ = 0;
    for (int v = 0; v < tubeModel.vertexCount; ++v) {
        meanX += tubeModel.positions[v].x / tubeModel.vertexCount;
        meanZ += tubeModel.positions[v].z / tubeModel.vertexCount;
    }
    Vector3 aim;
    double nearest = INFINITY;
    for (int f = 0; f < tubeModel.faceCount; ++f) {
        const Face& face = tubeModel.faces[f];
        const double distance = std::hypot(face.centre.x - meanX, face.centre.z - meanZ);
        if (face.normal.y >= 0.8f && distance < nearest) {
            nearest = distance;
            aim = face.centre;
        }
    }
    return aim;
}

bool projectToFrame(const float point[3], const ViewSettings& view, const Camera& camera, double& x, double& y) {
    // The camera's axes as gluLookAt builds them: forward f, side s = f x up,
    // true up u = s x f.
    double f[3], s[3], u[3], d[3];
    for (int k = 0; k < 3; ++k) {
        f[k] = camera.centre[k] - camera.eye[k];
        d[k] = point[k] - camera.eye[k];
    }
    const auto normalise = [](double* v) {
        const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        for (int k = 0; k < 3; ++k) v[k] /= length;
    };
    normalise(f);
    s[0] = f[1] * camera.up[2] - f[2] * camera.up[1];
    s[1] = f[2] * camera.up[0] - f[0] * camera.up[2];
    s[2] = f[0] * camera.up[1] - f[1] * camera.up[0];
    normalise(s);
    u[0] = s[1] * f[2] - s[2] * f[1];
    u[1] = s[2] * f[0] - s[0] * f[2];
    u[2] = s[0] * f[1] - s[1] * f[0];
    const double eyeX = s[0] * d[0] + s[1] * d[1] + s[2] * d[2];
    const double eyeY = u[0] * d[0] + u[1] * d[1] + u[2] * d[2];
    const double ahead = f[0] * d[0] + f[1] * d[1] + f[2] * d[2];
    if (ahead <= 0) return false;
    // gluPerspective, then the viewport; frame rows count from the top.
    const double focal = 1.0 / std::tan(view.fov * std::numbers::pi / 360.0);
    x = (1 + focal / view.aspect * eyeX / ahead) * view.width / 2;
    y = view.height - (1 + focal * eyeY / ahead) * view.height / 2;
    return true;
}

void aimAtTube(const Tube& tube, const Vector3& aim, const ViewSettings& view, std::int32_t& x, std::int32_t& y) {
    // Turned about y as the tube pass turns it, counter-clockwise seen from
    // above, then moved to the tube.
    const double angle = tube.angleY * std::numbers::pi / 180;
    const float point[3] = {static_cast<float>(tube.position[0] + aim.x * std::cos(angle) + aim.z * std::sin(angle)),
                            tube.position[1] + aim.y,
                            static_cast<float>(tube.position[2] - aim.x * std::sin(angle) + aim.z * std::cos(angle))};
    double px = 0, py = 0;
    projectToFrame(point, view, camera, px, py);
    x = static_cast<std::int32_t>(std::lround(px));
    y = static_cast<std::int32_t>(std::lround(py));
}

bool steerPointer(Steering& steering, const SteeringInput& input, const Board& board, const ViewSettings& view,
                  std::int32_t& mouseX, std::int32_t& mouseY) {
    const int direction = steeredDirection(input, steering.direction);
    // Going back to a direction still held after letting go of a newer one
    // waits for the repeat.
    if (direction >= 0 && input.pressed[direction])
        steering.framesHeld = 0;
    else if (direction != steering.direction)
        steering.framesHeld = 1;
    steering.direction = direction;
    if (direction < 0) return false;
    const int held = steering.framesHeld++;
    const bool repeats = held >= steeringRepeatDelay && (held - steeringRepeatDelay) % steeringRepeatEvery == 0;
    if (held != 0 && !repeats) return false;

    // The mouse takes over the moment it moves the pointer off the tube
    // steering put it on.
    const bool stayed = steering.tube != 0 && mouseX == steering.pointerX && mouseY == steering.pointerY;
    const int from = stayed ? steering.tube : nearestTube(board, view, mouseX, mouseY);
    int row = (from - 1) / boardSide + 1, column = (from - 1) % boardSide + 1;
    if (direction == steerAway && row < boardSide) ++row;
    if (direction == steerTowards && row > 1) --row;
    if (direction == steerLeft && column > 1) --column;
    if (direction == steerRight && column < boardSide) ++column;
    steering.tube = tubeAt(row, column);
    aimAtTube(board[steering.tube], steering.aim, view, steering.pointerX, steering.pointerY);
    mouseX = steering.pointerX;
    mouseY = steering.pointerY;
    return true;
}

SteeringInput gamepadSteering(const GamepadState& pad) {
    SteeringInput input;
    const float x = pad.axes[gamepadAxisLeftX], y = pad.axes[gamepadAxisLeftY];
    const bool pushed = std::fmax(std::fabs(x), std::fabs(y)) > 0.5f;
    const bool acrossward = std::fabs(x) > std::fabs(y);
    input.held[steerAway] = pad.buttons[gamepadButtonUp] || (pushed && !acrossward && y < 0);
    input.held[steerRight] = pad.buttons[gamepadButtonUp + 1] || (pushed && acrossward && x > 0);
    input.held[steerTowards] = pad.buttons[gamepadButtonUp + 2] || (pushed && !acrossward && y > 0);
    input.held[steerLeft] = pad.buttons[gamepadButtonUp + 3] || (pushed && acrossward && x < 0);
    input.click = pad.buttons[gamepadButtonA] != 0;
    input.shuffle = pad.buttons[gamepadButtonX] != 0;
    return input;
}

bool gamepadQuits(const GamepadState& pad) { return pad.buttons[gamepadButtonStart] != 0; }
