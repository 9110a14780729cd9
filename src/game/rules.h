// The rules: what the buttons do, how tubes turn and pass electricity on to
// the neighbours whose open ends meet their own, the score, and when each
// sound is heard. Everything advances by a fixed step per frame.
#pragma once

#include <cstdint>

#include "game/game_state.h"

// The quarter turn a tube stands at: angleY / 90 rounded halves to even, 0..4.
// Quarters 0..3 open (-x, +z), (+x, +z), (+x, -z), (-x, -z); quarter 4
// (angles 315..355) opens nowhere.
std::int32_t quarter(const Tube& tube);

// True when b stands at most one unit from a along x or along z and level
// with it along the other axis (y plays no part): tubes that touch only at a
// corner are not neighbours. A tube's own index is skipped by the caller.
bool tubesAreNeighbours(const Tube& a, const Tube& b);

// True when b lies on one of a's open sides and a on one of b's.
bool tubesConnect(const Tube& a, const Tube& b);

// Per frame
// True while picking may run: the board was idle at the last flag update.
// Otherwise hoveredTube stays 0 for the frame.
bool pickingAllowed(const GameState& state);

// The frame's rules, after picking, in this order: the input rules, the
// flags, the clicked turn, the turns and chains, the chain sound and the
// lightning step. Changes only the state; the sounds to be heard this frame
// are left in state.sounds, in the order asked for.
void runRules(GameState& state, bool leftButton, bool rightButton);

// The steps of runRules, in its order:
// the left button (names clickedTube, banks the score), the right button
// (shuffle) and the hover sound, judged by the flags of the previous frame;
void applyInputRules(GameState& state, bool leftButton, bool rightButton);
// activated tubes start turning, rested ones stop; recomputes anyTubeTurning
// and anyLightning;
void updateTubeFlags(GameState& state);
// the clicked tube starts a quarter turn, unless some tube is turning;
void startClickedTurn(GameState& state);
// every turning tube moves 5 degrees; one that reaches its target activates
// the neighbours it connects to, each adding 1 to the score;
void advanceTurns(GameState& state);
// 8 or more activations in this frame call for the cervo voice;
void askForChainSound(GameState& state);
// every running lightning steps one frame on, in index order, with two
// random draws for how it is drawn; a tube whose lightning reaches its spark
// frame sounds its electricity.
void stepLightning(GameState& state);
