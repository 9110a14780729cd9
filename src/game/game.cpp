#include "game/game.h"

#include <GL/gl.h>
#include <GLFW/glfw3.h>

#include "assets/model_draw.h"
#include "game/picking.h"
#include "game/rules.h"
#include "platform/platform.h"
#include "render/font.h"
#include "render/score_texture.h"

namespace {

constexpr const char* modelFiles[4] = {nullptr, "Model/Tube.OBJ", "Model/Tube2.OBJ", "Model/Stage.OBJ"};
constexpr std::uint32_t modelTextureSlotBases[4] = {0, 2, 4, 4};

void failStartUp(const char* message) {
    glfwTerminate();
    printConsoleLine(message);
}

}  // namespace

bool startUp(Game& game) {
    tuneAllocator();
    game.window = setUpWindow(game.view, game.frameTarget);
    if (!game.window) return false;
    setUpLight(game.light);

    if (!loadTextures(game.textureSlots)) {
        failStartUp("Failed to load image!!!");
        return false;
    }

    game.fontListBase = glGenLists(256);
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

    game.scoreTexture = createScoreTexture();

    const SoundSetUpFailure soundFailure = setUpSoundBank(game.sound);
    if (soundFailure != SoundSetUpFailure::none) {
        failStartUp(soundFailureMessage(soundFailure));
        return false;
    }

    game.sceneLists = buildSceneLists(game.models, game.textureSlots);
    return true;
}

PointerHold holdPointer(std::int32_t mouseX, std::int32_t mouseY, const ViewSettings& view) {
    PointerHold hold = {mouseX, mouseY};
    if (hold.x < 1) hold.x = 1;
    if (hold.x > view.width) hold.x = view.width;
    if (hold.y < 1) hold.y = 1;
    if (hold.y > view.height) hold.y = view.height;
    return hold;
}

void beginGameFrame(Game& game, const FrameInput& input) {
    beginFrame(game.frameTarget, game.view, input.windowWidth, input.windowHeight);
}

void runScorePass(Game& game) {
    updateScoreTexture(game.scoreText, game.state.score, game.state.best, game.scoreTexture, game.fontListBase,
                       game.textureSlots, game.view);
    updateListener();
}

PointerHold readPointer(Game& game, const FrameInput& input) {
    // Picking and the cursor use the pointer as read; the clamped copy only
    // holds the system pointer inside the window from the next read on.
    GameState& state = game.state;
    state.mouseX = input.mouseX;
    state.mouseY = input.mouseY;
    state.hoveredTube = 0;
    return holdPointer(state.mouseX, state.mouseY, game.view);
}

void pickHoveredTube(Game& game) {
    // The board is picked only while it was idle at the previous flag update.
    GameState& state = game.state;
    if (state.anyTubeTurning || state.anyLightning) return;
    state.hoveredTube =
        pickTube(state.mouseX, state.mouseY, state.board, *game.models[tubeModelEntry], game.view, camera);
}

void runRules(Game& game, const FrameInput& input) {
    GameState& state = game.state;
    applyInputRules(state, game.sound, input.leftButton, input.rightButton);
    updateTubeFlags(state);
    startClickedTurn(state, game.sound);
    advanceTurns(state);
    playChainSound(state, game.sound);
}

void runScenePasses(Game& game) {
    renderScene(game.state, game.sound, game.sceneLists, game.models, game.textureSlots, game.scoreTexture, game.view,
                game.light);
    drawCursor(game.state.mouseX, game.state.mouseY, game.textureSlots, game.view);
}

void showGameFrame(Game& game) { showFrame(game.frameTarget, game.view); }

PointerHold runFrame(Game& game, const FrameInput& input) {
    beginGameFrame(game, input);
    runScorePass(game);
    const PointerHold hold = readPointer(game, input);
    pickHoveredTube(game);
    runRules(game, input);
    runScenePasses(game);
    showGameFrame(game);
    return hold;
}

void shutDown(Game& game) {
    releaseSoundBank(game.sound);
    freeBoard(game.state.board);
    for (int entry = 1; entry <= 3; ++entry) {
        freeModel(game.models[entry]);
        game.models[entry] = nullptr;
    }
    deleteSceneLists(game.sceneLists);
    glDeleteLists(game.fontListBase, 256);
    deleteTextures(game.textureSlots);
    releaseFrameTarget(game.frameTarget);
    glfwTerminate();
    game.window = nullptr;
}
