#include "sound/sound_bank.h"
// TODO(sound): replaced by the sound bank.
SoundSetUpFailure setUpSoundBank(SoundBank&) { return SoundSetUpFailure::none; }
const char* soundFailureMessage(SoundSetUpFailure) { return ""; }
void updateListener() {}
void playVoiceAt(const SoundBank&, int, const float[3]) {}
void playNextElectricityPair(SoundBank&, const float[3]) {}
void playCervoVoice(SoundBank&) {}
void releaseSoundBank(SoundBank&) {}
