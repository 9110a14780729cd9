#include "game/rules.h"

#include <cmath>

#include "game/view.h"

namespace {

// The camera's eye, where the shuffle's voice is heard.
constexpr float eyePosition[3] = {camera.eye[0], camera.eye[1], camera.eye[2]};

// A turn moves 5 degrees per frame.
constexpr std::int32_t turnStep = 5;
constexpr std::int32_t chainSoundActivations = 8;

// Appends a sound for the frame to play. Within one frame nothing is heard
// twice but sparks of different tubes, so runRules never fills the list.
void askFor(GameState& state, Voice voice, const float position[3]) {
    if (state.sounds.count == largestSoundEventCount) return;
    SoundEvent& event = state.sounds.events[state.sounds.count++];
    event.voice = voice;
    for (int axis = 0; axis < 3; ++axis) event.position[axis] = position[axis];
}

// Open sides of an elbow at each quarter, in scene axes (+z towards the camera).
bool opensMinusX(std::int32_t q) { return q == 0 || q == 3; }
bool opensPlusX(std::int32_t q) { return q == 1 || q == 2; }
bool opensMinusZ(std::int32_t q) { return q == 2 || q == 3; }
bool opensPlusZ(std::int32_t q) { return q == 0 || q == 1; }

// The neighbour is set to turn a quarter beyond its current angle from the next
// flag update on, and both its lightning and that of the tube at rest start over.
void activate(GameState& state, Tube& atRest, Tube& neighbour) {
    state.score += 1;
    neighbour.activated = flagTrue;
    neighbour.targetAngle = static_cast<float>((neighbour.angleY + 90) % 360);
    neighbour.lightningFrame = 1;
    atRest.lightningFrame = 1;
    // The draw is made for every activation, so the random sequence moves on
    // even when the first activation of the frame overrides it.
    neighbour.sparkFrame = static_cast<std::int32_t>(std::floor(randomUnit() * 10)) + 2;
    state.activationsThisFrame += 1;
    if (!state.firstActivationDone) {
        state.firstActivationDone = flagTrue;
        neighbour.sparkFrame = 2;
    }
}

}  // namespace

// The board's coordinates are whole numbers, so the comparisons are exact.
bool tubesAreNeighbours(const Tube& a, const Tube& b) {
    const float dx = std::fabs(a.position[0] - b.position[0]);
    const float dz = std::fabs(a.position[2] - b.position[2]);
    return dx <= 1.0f && dz <= 1.0f && (dx == 0.0f || dz == 0.0f);
}

std::int32_t quarter(const Tube& tube) { return roundHalfEven(tube.angleY / 90.0); }

bool tubesConnect(const Tube& a, const Tube& b) {
    const std::int32_t qa = quarter(a);
    const std::int32_t qb = quarter(b);
    const std::int32_t dx = roundHalfEven(static_cast<double>(b.position[0]) - a.position[0]);
    const std::int32_t dz = roundHalfEven(static_cast<double>(b.position[2]) - a.position[2]);
    if (dx == -1 && opensMinusX(qa) && opensPlusX(qb)) return true;
    if (dx == 1 && opensPlusX(qa) && opensMinusX(qb)) return true;
    if (dz == -1 && opensMinusZ(qa) && opensPlusZ(qb)) return true;
    if (dz == 1 && opensPlusZ(qa) && opensMinusZ(qb)) return true;
    return false;
}

void applyInputRules(GameState& state, bool leftButton, bool rightButton) {
    // Left button: names the tube under the pointer; an accepted click banks
    // the score. hoveredTube is 0 whenever the board was busy, as picking did not run.
    state.clickedTube = 0;
    if (leftButton) {
        state.clickedTube = state.hoveredTube;
        if (!state.anyTubeTurning && state.hoveredTube > 0) {
            if (state.score > state.best) state.best = state.score;
            state.score = 0;
        }
    }

    // Right button: shuffles an idle board wherever the pointer is.
    if (rightButton && !state.anyTubeTurning && !state.anyLightning) {
        shuffleBoard(state.board);
        askFor(state, Voice::activate, eyePosition);
    }

    // Hover sound: the pointer came onto another tube.
    if (state.hoveredTube != state.previousHoveredTube) {
        state.previousHoveredTube = state.hoveredTube;
        if (state.hoveredTube != 0 && !state.anyTubeTurning) {
            askFor(state, Voice::click, state.board[state.hoveredTube].position);
        }
    }
}

void updateTubeFlags(GameState& state) {
    state.anyTubeTurning = 0;
    state.anyLightning = 0;
    for (int i = 1; i <= tubeCount; ++i) {
        Tube& tube = state.board[i];
        // An activation comes first, so a tube that both rested and was
        // activated in the last frame ends at rest.
        if (tube.activated) {
            tube.activated = 0;
            tube.turning = flagTrue;
        }
        if (tube.cameToRest) {
            tube.cameToRest = 0;
            tube.turning = 0;
        }
        if (tube.lightningFrame != 0) state.anyLightning = flagTrue;
        if (tube.turning) state.anyTubeTurning = flagTrue;
    }
}

void startClickedTurn(GameState& state) {
    if (state.clickedTube == 0) return;
    if (state.anyTubeTurning) return;
    Tube& tube = state.board[state.clickedTube];
    tube.turning = flagTrue;
    tube.targetAngle = static_cast<float>((tube.angleY + 90) % 360);
    askFor(state, Voice::turn, tube.position);
    tube.lightningFrame = 1;
}

void advanceTurns(GameState& state) {
    state.activationsThisFrame = 0;
    state.firstActivationDone = 0;
    for (int i = 1; i <= tubeCount; ++i) {
        Tube& tube = state.board[i];
        if (!tube.turning) continue;
        tube.angleY = (tube.angleY + turnStep) % 360;
        // The target is a whole number held in a float: compared exactly.
        if (static_cast<float>(tube.angleY) != tube.targetAngle) continue;

        tube.cameToRest = flagTrue;
        for (int j = 1; j <= tubeCount; ++j) {
            if (j == i) continue;
            Tube& other = state.board[j];
            if (tubesAreNeighbours(tube, other) && tubesConnect(tube, other)) activate(state, tube, other);
        }
    }
}

void askForChainSound(GameState& state) {
    if (state.activationsThisFrame >= chainSoundActivations) askFor(state, Voice::cervo, eyePosition);
}

void stepLightning(GameState& state) {
    for (int i = 1; i <= tubeCount; ++i) {
        Tube& tube = state.board[i];
        tube.lightningShown = tube.lightningFrame != 0 ? flagTrue : 0;
        if (!tube.lightningShown) continue;
        tube.lightningFrame = static_cast<std::int8_t>((tube.lightningFrame + 1) % lightningLength);
        // The image turns and jumps anew in every frame: two draws, in this order.
        tube.lightningJitter[0] = randomUnit();
        tube.lightningJitter[1] = randomUnit();
        if (tube.lightningFrame == tube.sparkFrame) askFor(state, Voice::electricityPair, tube.position);
    }
}

bool pickingAllowed(const GameState& state) { return !state.anyTubeTurning && !state.anyLightning; }

void runRules(GameState& state, bool leftButton, bool rightButton) {
    state.sounds.count = 0;
    applyInputRules(state, leftButton, rightButton);
    updateTubeFlags(state);
    startClickedTurn(state);
    advanceTurns(state);
    askForChainSound(state);
    stepLightning(state);
}
