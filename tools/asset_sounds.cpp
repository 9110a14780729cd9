// The five sounds, synthesised: mono, 16-bit, 22050 samples per second, each
// fading in and out so that it starts and stops without a click, and scaled
// to a peak below full scale.
#include <cmath>

#include "asset_files.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int rate = 22050;  // samples per second

using Samples = std::vector<double>;

Samples silence(double seconds) { return Samples(static_cast<size_t>(std::lround(seconds * rate)), 0.0); }

// Raised-cosine fades at both ends; the first and last samples become 0.
void fade(Samples& s, double inSeconds, double outSeconds) {
    const size_t in = static_cast<size_t>(inSeconds * rate), out = static_cast<size_t>(outSeconds * rate);
    for (size_t i = 0; i < in && i < s.size(); ++i) s[i] *= 0.5 - 0.5 * std::cos(pi * i / in);
    for (size_t i = 0; i < out && i < s.size(); ++i) s[s.size() - 1 - i] *= 0.5 - 0.5 * std::cos(pi * i / out);
}

void normalise(Samples& s, double peak) {
    double highest = 0;
    for (double v : s) highest = std::max(highest, std::fabs(v));
    if (highest > 0) {
        for (double& v : s) v *= peak / highest;
    }
}

// Resonant band-pass biquad with unit gain at its centre (Hz); stable for
// every centre below half the sample rate and every q > 0.
struct BandPass {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;  // the last two inputs and outputs
};

double bandPass(BandPass& filter, double input, double centre, double q) {
    const double w = 2 * pi * std::min(centre, rate * 0.45) / rate;
    const double alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    const double output =
        (alpha * input - alpha * filter.x2 + 2 * std::cos(w) * filter.y1 - (1 - alpha) * filter.y2) / a0;
    filter.x2 = filter.x1;
    filter.x1 = input;
    filter.y2 = filter.y1;
    filter.y1 = output;
    return output;
}

// A value that jumps to a new random level every so often and glides there:
// the flicker of an unsteady discharge.
struct Flicker {
    double level = 0, target = 0;
    int left = 0;  // samples until the next jump
};

double flicker(Flicker& f, Random& random, double shortest, double longest) {
    if (f.left-- <= 0) {
        f.target = nextUnit(random);
        f.target *= f.target;
        f.left = static_cast<int>(nextRange(random, shortest, longest) * rate);
    }
    f.level += (f.target - f.level) * 0.02;
    return f.level;
}

// A crackling discharge: a buzz whose strength flickers, snaps of noise at
// random moments and a hiss, about 0.45 s.
Samples electricity() {
    Random random{0x5FD00001};
    Samples s = silence(0.45);
    Flicker buzzFlicker, hissFlicker;
    BandPass hissFilter, snapFilter;
    double snap = 0, phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        // A 120 Hz buzz with its odd harmonics up to about 4 kHz.
        phase += 120.0 / rate;
        double buzz = 0;
        for (int h = 1; h <= 33; h += 2) buzz += std::sin(2 * pi * h * phase) / h;
        buzz *= 0.5 * (0.2 + flicker(buzzFlicker, random, 0.008, 0.03));
        // Snaps: short bursts of bright noise, started at random.
        if (nextUnit(random) < 0.0025) snap = nextRange(random, 0.5, 1.0);
        snap *= 0.992;
        const double snapNoise = bandPass(snapFilter, nextRange(random, -1, 1), 3500, 0.8) * snap;
        const double hiss =
            bandPass(hissFilter, nextRange(random, -1, 1), 5000, 0.6) * 0.35 * flicker(hissFlicker, random, 0.01, 0.05);
        const double envelope = std::min(1.0, t / 0.01) * (t < 0.3 ? 1.0 : std::exp(-(t - 0.3) * 12));
        s[i] = envelope * (buzz + 1.6 * snapNoise + hiss);
    }
    normalise(s, 0.8);
    fade(s, 0.005, 0.03);
    return s;
}

// A zap: a buzzy frequency-modulated tone that falls from high to low in
// about 0.35 s, with a little noise riding on it.
Samples electricity2() {
    Random random{0x5FD00002};
    Samples s = silence(0.35);
    BandPass noiseFilter;
    double carrier = 0, modulator = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double frequency = 160 + 1200 * std::exp(-t * 9);
        carrier += frequency / rate;
        modulator += frequency * 1.5 / rate;
        const double index = 2.0 + 1.0 * std::exp(-t * 6);
        const double tone = std::sin(2 * pi * carrier + index * std::sin(2 * pi * modulator));
        const double noise = bandPass(noiseFilter, nextRange(random, -1, 1), frequency * 2, 1.5);
        const double envelope = std::min(1.0, t / 0.004) * std::exp(-t * 7);
        s[i] = envelope * (0.8 * tone + 0.5 * noise);
    }
    normalise(s, 0.75);
    fade(s, 0.002, 0.03);
    return s;
}

// A short, dry tick: two quickly dying partials and a breath of noise, 40 ms.
Samples click() {
    Random random{0x5FD00003};
    Samples s = silence(0.04);
    BandPass noiseFilter;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double tone =
            std::sin(2 * pi * 1900 * t) * std::exp(-t * 180) + 0.5 * std::sin(2 * pi * 4300 * t) * std::exp(-t * 300);
        const double noise = bandPass(noiseFilter, nextRange(random, -1, 1), 6000, 0.7) * std::exp(-t * 400);
        s[i] = tone + 0.6 * noise;
    }
    normalise(s, 0.7);
    fade(s, 0.0005, 0.01);
    return s;
}

// The reward for a long chain: a rising arpeggio of bell tones (C, E, G, C)
// that ring on together with a slight shimmer, about 1.1 s.
Samples cervo() {
    Samples s = silence(1.1);
    const double notes[] = {1046.5, 1318.5, 1568.0, 2093.0};  // Hz
    for (int n = 0; n < 4; ++n) {
        const double start = 0.07 * n;
        double phase = 0;  // cycles of the fundamental, so the vibrato keeps a steady depth
        for (size_t i = static_cast<size_t>(start * rate); i < s.size(); ++i) {
            const double t = static_cast<double>(i) / rate - start;
            phase += notes[n] * (1.0 + 0.003 * std::sin(2 * pi * 5.5 * t)) / rate;
            const double bell = std::sin(2 * pi * phase) + 0.35 * std::sin(2 * pi * 2 * phase) * std::exp(-t * 6) +
                                0.15 * std::sin(2 * pi * 3.01 * phase) * std::exp(-t * 10);
            const double attack = t < 0.008 ? 0.5 - 0.5 * std::cos(pi * t / 0.008) : 1.0;
            s[i] += bell * attack * std::exp(-t * 3.2) * (n == 3 ? 1.2 : 1.0);
        }
    }
    normalise(s, 0.8);
    fade(s, 0.002, 0.15);
    return s;
}

// A whoosh for the shuffle: noise through a resonant filter that sweeps up
// and back down while the sound swells and fades, about 0.8 s.
Samples activate() {
    Random random{0x5FD00005};
    Samples s = silence(0.8);
    BandPass filter, body;
    for (size_t i = 0; i < s.size(); ++i) {
        const double x = static_cast<double>(i) / s.size();  // 0..1 through the sound
        const double sweep = std::sin(pi * std::pow(x, 0.7));
        const double centre = 250 + 2600 * sweep * sweep;
        const double noise = nextRange(random, -1, 1);
        const double airy = bandPass(filter, noise, centre, 2.5);
        const double low = bandPass(body, noise, centre * 0.5, 1.2);
        const double envelope = std::pow(std::sin(pi * std::pow(x, 0.8)), 2.0);
        s[i] = envelope * (airy + 0.5 * low);
    }
    normalise(s, 0.8);
    fade(s, 0.01, 0.05);
    return s;
}

}  // namespace

void writeSounds(const std::filesystem::path& root) {
    writeWav(root / "SFX" / "Electricity.wav", electricity(), rate);
    writeWav(root / "SFX" / "Electricity2.wav", electricity2(), rate);
    writeWav(root / "SFX" / "Click.wav", click(), rate);
    writeWav(root / "SFX" / "Cervo.wav", cervo(), rate);
    writeWav(root / "SFX" / "Activate.wav", activate(), rate);
}
