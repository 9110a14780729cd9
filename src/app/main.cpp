// Tubechain: click a tube to turn it; every neighbour whose open end meets
// one of its own turns in its turn when it comes to rest.

#include "app/frame.h"

int main() {
    static Game game;
    // The best score and the settings the player had last time.
    loadKept(game.keeping, game.state.best, game.settings);
    if (!startUp(game)) return 1;
    FramePlay play;
    while (!play.ended) runFrame(game, play);
    shutDown(game);
    return 0;
}
