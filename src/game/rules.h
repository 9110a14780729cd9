// The rules: what the buttons do, how tubes turn and pass electricity on to
// the neighbours whose open ends meet their own, the score, and when each
// sound is heard. Everything advances by a fixed step per frame.
#pragma once

#include <cstdint>

#include "game/game_state.h"
#include "sound/sound_bank.h"

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

// Per frame, in this order:
// The left button (names clickedTube, banks the score), the right button
// (shuffle) and the hover sound, judged by the flags of the previous frame.
void applyInputRules(GameState& state, SoundBank& sound, bool leftButton, bool rightButton);
// Activated tubes start turning, rested ones stop; recomputes anyTubeTurning
// and anyLightning.
void updateTubeFlags(GameState& state);
// The clicked tube starts a quarter turn, unless some tube is turning.
void startClickedTurn(GameState& state, SoundBank& sound);
// Every turning tube moves 5 degrees; one that reaches its target activates
// the neighbours it connects to, each adding 1 to the score.
void advanceTurns(GameState& state);
// 8 or more activations in this frame call for the Cervo voice.
void playChainSound(const GameState& state, SoundBank& sound);

// The lightning step of one tube, run by the tube pass as it draws the tube:
// returns true when a lightning is to be drawn (with the stepped frame).
bool advanceLightning(Tube& tube);
// After that lightning is drawn (only when advanceLightning returned true):
// the tube's electricity sounds when its frame reaches its spark frame.
void sparkLightning(const Tube& tube, SoundBank& sound);
