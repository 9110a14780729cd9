#include "app/game.h"

#include <GL/gl.h>
#include <GLFW/glfw3.h>

#include "platform/platform.h"
#include "render/font.h"
#include "render/window.h"

namespace {

constexpr const char* modelFiles[4] = {nullptr, "Model/Tube.OBJ", "Model/Tube2.OBJ", "Model/Stage.OBJ"};
// The texture slot that each model's material numbers count from. The
// tube's materials 0 and 1 take the tube and ends pictures (slots 2 and 3);
// the lightning shell is drawn without its materials; the stage's one
// material, numbered 3, lands on slot 7, which holds no picture, so the
// stage is plain white under the score texture that covers it whole.
constexpr std::uint32_t modelTextureSlotBases[4] = {0, 2, 4, 4};

void failStartUp(const char* message) {
    glfwTerminate();
    printConsoleLine(message);
}

}  // namespace

bool startUp(Game& game) {
    enterDataFolder();
    tuneAllocator();
    game.window = setUpWindow(game.view, game.frameTarget, game.settings.fullScreen, game.settings.window);
    if (!game.window) return false;
    setUpLight(game.light);
    game.muteKey = keyTypingLetter('m', GLFW_KEY_M);
    game.shuffleKey = keyTypingLetter('r', GLFW_KEY_R);

    if (!loadTextures(game.textureSlots)) {
        failStartUp("Failed to load image!!!");
        return false;
    }

    game.fontListBase = glGenLists(glyphCount);
    buildFontLists(game.fontListBase);

    for (int entry = 1; entry <= 3; ++entry) {
        game.models[entry] = loadModel(modelFiles[entry], modelTextureSlotBases[entry]);
        if (!game.models[entry]) {
            failStartUp("Failed to load model!");
            return false;
        }
    }

    createBoard(game.state.board);
    shuffleBoard(game.state.board);
    game.steering.aim = tubeAimPoint(*game.models[tubeModelEntry]);

    game.scoreTexture = createScoreTexture();

    const SoundSetUpFailure soundFailure = setUpSoundBank(game.sound);
    if (soundFailure != SoundSetUpFailure::none) {
        failStartUp(soundFailureMessage(soundFailure));
        return false;
    }
    if (game.settings.muted) setSoundMuted(true);

    game.sceneLists = buildSceneLists(game.models, game.textureSlots);
    return true;
}

void shutDown(Game& game) {
    if (game.window) game.settings.window = windowPlace(game.window, game.settings.window);
    keepSettings(game.keeping, game.settings);
    releaseSoundBank(game.sound);
    freeBoard(game.state.board);
    for (int entry = 1; entry <= 3; ++entry) {
        freeModel(game.models[entry]);
        game.models[entry] = nullptr;
    }
    deleteSceneLists(game.sceneLists);
    glDeleteLists(game.fontListBase, glyphCount);
    deleteScoreTexture(game.scoreTexture);
    game.scoreTexture = 0;
    deleteTextures(game.textureSlots);
    releaseFrameTarget(game.frameTarget);
    glfwTerminate();
    game.window = nullptr;
}
