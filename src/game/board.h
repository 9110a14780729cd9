// The board: 225 elbow tubes on a 15 x 15 grid in the x-z plane, and the one
// random source that shuffles them, starts chains and jitters the lightning.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

// A flag byte: 0 is false; true is written with all bits set.
using Flag = std::uint8_t;
inline constexpr Flag flagTrue = 0xFF;

inline constexpr int boardSide = 15;
// A lightning runs through the frames 1..34 of its animation, then stops at 0.
inline constexpr int lightningLength = 35;
inline constexpr int tubeCount = boardSide * boardSide;  // tubes are numbered 1..225

// One board piece.
struct Tube {
    float position[3] = {0, 0, 0};  // centre, scene units, y up; whole numbers
    float targetAngle = 0;          // degrees, whole number 0..355: where the turn ends
    std::int32_t angleX = 0;        // whole degrees about x, always 0
    // Whole degrees about y, 0..355 (a multiple of 5); positive turns
    // counter-clockwise seen from above.
    std::int32_t angleY = 0;
    std::int32_t angleZ = 0;         // whole degrees about z, always 0
    Flag turning = 0;                // turns 5 degrees per frame
    Flag activated = 0;              // activated by a neighbour, turns from the next flag update
    Flag cameToRest = 0;             // reached its target this frame
    std::int8_t lightningFrame = 0;  // frames 0..34 of the lightning animation, 0 when none runs
    std::int32_t sparkFrame = 0;     // lightningFrame at which the tube's electricity sounds
    // What this frame's lightning step left for drawing.
    Flag lightningShown = 0;             // the overlay is drawn this frame, at the stepped lightningFrame
    double lightningJitter[2] = {0, 0};  // the step's two draws in [0, 1): the image's turn and its jump
};

// The tubes, indexed 1..225 (entry 0 is never used); each record is allocated
// on its own by createBoard and released by freeBoard.
struct Board {
    std::array<std::unique_ptr<Tube>, tubeCount + 1> tubes;

    Tube& operator[](int index) { return *tubes[index]; }
    const Tube& operator[](int index) const { return *tubes[index]; }
};

// Set-up
// Allocates the 225 tubes, all fields zero, and places them row by row:
// tube i stands at x = column - 8, y = 0, z = -row (row 1 nearest the camera).
void createBoard(Board& board);

// Per frame (start-up and the right button)
// Gives every tube a random quarter-turn orientation and starts a lightning
// on it at a random phase (15..25), due to spark in the next tube pass.
void shuffleBoard(Board& board);

// A uniform draw from [0, 1) in steps of 1/32768, from a 15-bit linear
// congruential generator whose state starts at 1 and is never reseeded, so
// every run shows the same start-up board.
double randomUnit();

// Puts the generator back in its start state (tests and the benchmark only:
// the game itself never reseeds).
void resetRandomUnit();

// Rounds to the nearest integer, halves to the even neighbour.
std::int32_t roundHalfEven(double value);

// Shutdown
// Releases the tubes in index order 1..225.
void freeBoard(Board& board);
