#include "game/board.h"

#include <cmath>

namespace {
std::uint32_t randomState = 1;
}

double randomUnit() {
    randomState = randomState * 1103515245u + 12345u;
    const std::uint32_t draw = (randomState / 65536u) % 32768u;
    return draw / 32768.0;
}

void resetRandomUnit() { randomState = 1; }

std::int32_t roundHalfEven(double value) {
    // nearbyint rounds halves to even in the default rounding mode, which the
    // game never changes.
    return static_cast<std::int32_t>(std::nearbyint(value));
}

void createBoard(Board& board) {
    for (int i = 1; i <= tubeCount; ++i) board.tubes[i] = std::make_unique<Tube>();
    int index = 1;
    for (int row = 1; row <= boardSide; ++row) {
        for (int column = 1; column <= boardSide; ++column) {
            Tube& tube = board[index++];
            tube.position[0] = static_cast<float>(column - 8);
            tube.position[1] = 0.0f;
            tube.position[2] = static_cast<float>(-row);
        }
    }
}

void shuffleBoard(Board& board) {
    for (int i = 1; i <= tubeCount; ++i) {
        Tube& tube = board[i];
        tube.angleX = 0;
        tube.angleY = static_cast<std::int32_t>(std::floor(randomUnit() * 4)) * 90;
        tube.angleZ = 0;
        tube.turning = 0;
        tube.activated = 0;
        tube.lightningFrame = static_cast<std::int8_t>(roundHalfEven(randomUnit() * 10 + 15));
        tube.sparkFrame = tube.lightningFrame + 1;
    }
}

void freeBoard(Board& board) {
    for (int i = 1; i <= tubeCount; ++i) board.tubes[i].reset();
}
