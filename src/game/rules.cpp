#include "game/rules.h"
// TODO(rules): replaced by the rules.
std::int32_t quarter(const Tube&) { return 0; }
bool tubesConnect(const Tube&, const Tube&) { return false; }
void applyInputRules(GameState&, SoundBank&, bool, bool) {}
void updateTubeFlags(GameState&) {}
void startClickedTurn(GameState&, SoundBank&) {}
void advanceTurns(GameState&) {}
void playChainSound(const GameState&, SoundBank&) {}
bool advanceLightning(Tube&) { return false; }
void sparkLightning(const Tube&, SoundBank&) {}
