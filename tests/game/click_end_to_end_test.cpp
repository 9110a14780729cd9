// The real executable, its sound recorded by the wave writer: a click on a
// tube that sets off a chain is heard at once, then the chain's sparks.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "assets/model.h"
#include "assets/model_draw.h"
#include "game/board.h"
#include "render/window.h"
#include "sound/sound_files.h"
#include "support/loaded_model.h"
#include "support/test_support.h"
#include "support/tube_pointer.h"

namespace fs = std::filesystem;

namespace {

// Tube 129 (row 9, column 9) sets off a chain of 366 activations on the
// start-up board: its first activation comes as it rests, 17 frames after the click.
constexpr int chainTube = 129;

void sleepSeconds(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

// The mixed output written so far (the file may still be growing), as mono
// levels in [-1, 1]: the channels averaged.
struct Recording {
    int rate = 0;
    std::vector<float> samples;
};
Recording readRecording(const fs::path& path) {
    const soundtest::Recording stereo = soundtest::readRecording(path);
    Recording mono{stereo.rate, {}};
    for (std::size_t i = 0; i < stereo.left.size(); ++i) mono.samples.push_back((stereo.left[i] + stereo.right[i]) / 2);
    return mono;
}

// The loudest level in each 10 ms window.
std::vector<float> windowPeaks(const Recording& recording) {
    std::vector<float> peaks;
    const int window = recording.rate / 100;
    for (std::size_t from = 0; window > 0 && from + window <= recording.samples.size(); from += window) {
        float peak = 0;
        for (int k = 0; k < window; ++k) peak = std::max(peak, std::fabs(recording.samples[from + k]));
        peaks.push_back(peak);
    }
    return peaks;
}

// Stretches of sound, in seconds from the start of the recording: 10 ms
// windows above the level of silence, with gaps under 30 ms bridged.
struct Burst {
    double start, end;
};
std::vector<Burst> soundBursts(const Recording& recording) {
    std::vector<Burst> bursts;
    const std::vector<float> peaks = windowPeaks(recording);
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        if (peaks[i] < 0.01f) continue;
        const double start = static_cast<double>(i) / 100, end = start + 0.01;
        if (!bursts.empty() && start - bursts.back().end < 0.03)
            bursts.back().end = end;
        else
            bursts.push_back({start, end});
    }
    return bursts;
}

// Moments where a new sound starts: a 10 ms window at least twice as loud as
// the loudest of the 30 ms before it. A spark restarts its voices from their
// attack, so every spark is one, even inside a continuous stretch of sound.
std::vector<double> soundOnsets(const Recording& recording) {
    std::vector<double> onsets;
    const std::vector<float> peaks = windowPeaks(recording);
    for (std::size_t i = 3; i < peaks.size(); ++i) {
        const float before = std::max({peaks[i - 1], peaks[i - 2], peaks[i - 3]});
        if (peaks[i] >= 0.02f && peaks[i] >= 2 * before) onsets.push_back(static_cast<double>(i) / 100);
    }
    return onsets;
}

double recordedSeconds(const fs::path& path) {
    const Recording recording = readRecording(path);
    return recording.rate ? static_cast<double>(recording.samples.size()) / recording.rate : 0;
}

// Where the pointer must go, in window pixels from the top left: the middle
// of the tube's upper surface, through the scene's projection and camera.
struct Pixel {
    double x, y;
};
Pixel pixelOverTube(int index) {
    const LoadedModel model = loadModelFile((sourceDir() / "Model/Tube.OBJ").string(), 2);
    EXPECT_NE(model, nullptr);
    if (!model) return {512, 384};
    const Vector3 surface = tubeSurfacePoint(*model);

    // The start-up board: the same in every run.
    resetRandomUnit();
    Board board;
    createBoard(board);
    shuffleBoard(board);
    const Tube& tube = board[index];
    const double angle = tube.angleY * M_PI / 180;
    // Turned counter-clockwise about y (seen from above), then moved to the tube.
    const double point[3] = {tube.position[0] + surface.x * std::cos(angle) + surface.z * std::sin(angle),
                             tube.position[1] + surface.y,
                             tube.position[2] - surface.x * std::sin(angle) + surface.z * std::cos(angle)};

    // The camera's axes, and a perspective of 45 degrees over 1024 x 768.
    double forward[3], side[3], up[3];
    for (int a = 0; a < 3; ++a) forward[a] = camera.centre[a] - camera.eye[a];
    const double forwardLength = std::sqrt(forward[0] * forward[0] + forward[1] * forward[1] + forward[2] * forward[2]);
    for (double& c : forward) c /= forwardLength;
    side[0] = forward[1] * camera.up[2] - forward[2] * camera.up[1];
    side[1] = forward[2] * camera.up[0] - forward[0] * camera.up[2];
    side[2] = forward[0] * camera.up[1] - forward[1] * camera.up[0];
    const double sideLength = std::sqrt(side[0] * side[0] + side[1] * side[1] + side[2] * side[2]);
    for (double& c : side) c /= sideLength;
    up[0] = side[1] * forward[2] - side[2] * forward[1];
    up[1] = side[2] * forward[0] - side[0] * forward[2];
    up[2] = side[0] * forward[1] - side[1] * forward[0];
    double toPoint[3], x = 0, y = 0, depth = 0;
    for (int a = 0; a < 3; ++a) toPoint[a] = point[a] - camera.eye[a];
    for (int a = 0; a < 3; ++a) {
        x += side[a] * toPoint[a];
        y += up[a] * toPoint[a];
        depth += forward[a] * toPoint[a];
    }
    const double focal = 1 / std::tan(22.5 * M_PI / 180);
    const double ndcX = focal / (1024.0 / 768.0) * x / depth;
    const double ndcY = focal * y / depth;
    return {(ndcX + 1) / 2 * 1024, 768 - (ndcY + 1) / 2 * 768};
}

std::string screenHash() { return shellOutput("import -window root rgb:- 2>/dev/null | md5sum"); }

struct TempFolder {
    fs::path path;
    TempFolder() {
        char name[] = "/tmp/tubechain-click-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

TEST(ClickEndToEnd, TheTurnAndThenTheSparksOfItsChainAreHeard) {
    const Pixel target = pixelOverTube(chainTube);
    ASSERT_GT(target.x, 100);
    ASSERT_LT(target.x, 924);
    ASSERT_GT(target.y, 100);
    ASSERT_LT(target.y, 668);

    TempFolder folder;
    const fs::path recordingPath = folder.path / "out.wav";
    const fs::path config = folder.path / "alsoft.conf";
    std::ofstream(config) << "[general]\ndrivers=wave\n[wave]\nfile=" << recordingPath.string() << "\n";

    SpawnedProcess game =
        spawnProcess({executablePath().string()}, sourceDir(), {"ALSOFT_DRIVERS=", "ALSOFT_CONF=" + config.string()});
    const std::string pid = std::to_string(game.pid);
    const std::string window = shellOutput("timeout 30 xdotool search --sync --pid " + pid + " | head -1");
    ASSERT_FALSE(window.empty()) << "no window appeared";
    shellOutput("xdotool windowfocus --sync " + window);

    // The start-up lightning animates every frame; once it has ended the
    // picture stands still.
    std::string previous = screenHash();
    bool still = false;
    for (int look = 0; look < 120 && !still; ++look) {
        sleepSeconds(0.4);
        const std::string now = screenHash();
        still = now == previous;
        previous = now;
    }
    ASSERT_TRUE(still) << "the start-up lightning never ended";

    // The captured pointer follows relative moves only, from wherever the
    // window's focus left it: first far up and left, where the game holds
    // it at (1, 1), then onto the tube.
    shellOutput("xdotool mousemove_relative -- -3000 -3000");
    sleepSeconds(1.0);
    const int dx = static_cast<int>(std::lround(target.x)) - 1;
    const int dy = static_cast<int>(std::lround(target.y)) - 1;
    shellOutput("xdotool mousemove_relative -- " + std::to_string(dx) + " " + std::to_string(dy));
    sleepSeconds(1.5);
    ASSERT_NE(screenHash(), previous) << "the pointer moved but nothing showed it";

    const double clickAt = recordedSeconds(recordingPath);
    ASSERT_GT(clickAt, 1.0) << "nothing recorded";
    shellOutput("xdotool mousedown 1; sleep 0.5; xdotool mouseup 1");

    // Wait until the recording shows the turn and the chain's sparks after
    // it: the turn and the clicked tube's own spark alone make two onsets
    // and well under a second of sound.
    std::vector<Burst> after;
    std::size_t onsetsAfter = 0;
    double heard = 0;
    for (int wait = 0; wait < 80; ++wait) {
        sleepSeconds(0.5);
        const Recording sofar = readRecording(recordingPath);
        after.clear();
        heard = 0;
        for (const Burst& burst : soundBursts(sofar)) {
            if (burst.end <= clickAt) continue;
            after.push_back(burst);
            heard += burst.end - std::max(burst.start, clickAt);
        }
        const std::vector<double> onsets = soundOnsets(sofar);
        onsetsAfter = std::count_if(onsets.begin(), onsets.end(), [&](double at) { return at > clickAt - 0.1; });
        if (onsetsAfter >= 6 && heard > 3.0) break;
    }
    shellOutput("xdotool keydown Escape; sleep 0.5; xdotool keyup Escape");
    const ProcessResult result = finishProcess(game, 30);
    EXPECT_FALSE(result.timedOut) << result.output;
    EXPECT_EQ(result.exitStatus, 0) << result.output;

    const Recording recording = readRecording(recordingPath);
    ASSERT_GT(recording.rate, 0);
    const std::vector<Burst> bursts = soundBursts(recording);
    ASSERT_FALSE(bursts.empty());
    // The start-up sparks: every tube's pair sounds in the first frame.
    EXPECT_LT(bursts.front().start, clickAt - 1.0);
    // Quiet for the last moments before the click (the pointer's click
    // voice on coming onto the tube sounded over a second before it).
    for (const Burst& burst : bursts) {
        if (burst.end > clickAt - 0.8 && burst.start < clickAt - 0.1)
            ADD_FAILURE() << "sound at " << burst.start << " s, just before the click at " << clickAt << " s";
    }
    ASSERT_FALSE(after.empty()) << "nothing heard after the click";
    // The turn voice starts within a few frames of the button going down.
    EXPECT_GT(after.front().start, clickAt - 0.1);
    EXPECT_LT(after.front().start, clickAt + 2.0);
    // Then the chain: spark after spark, going on well beyond the turn voice
    // (0.35 s) and one spark of the clicked tube's own lightning.
    EXPECT_GE(onsetsAfter, 6u);
    EXPECT_GT(heard, 3.0);
}

}  // namespace
