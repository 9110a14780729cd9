// What the game keeps between runs: the best score, and the player's
// settings (full screen or a window and where, sound on or off). Their text,
// how they are read at start-up, and how they are written when they change,
// so that no crash, no broken file and no other game running at once ever
// costs a higher best.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

// The player's settings; as they are here, the game as it always was.
struct Settings {
    bool fullScreen = true;  // full screen, else in a window (F11, Alt+Enter)
    bool muted = false;      // every sound silenced (M)
    WindowPlace window;      // where the window stood last, screen coordinates; no size before the first
};

// Anything longer is no file the game wrote, bytes.
inline constexpr std::size_t largestKeptFile = 4096;

// Where the best and the settings are kept, and what the files hold.
struct Keeping {
    std::string bestPath;       // empty: the best is not kept
    std::string settingsPath;   // empty: the settings are not kept
    std::int32_t keptBest = 0;  // the best the file holds, as last read or written
    Settings keptSettings;      // the settings the file holds, likewise
    bool bestWarned = false;    // the console has said that the best cannot be written
    bool settingsWarned = false;
};

// The files' text: "name=value" lines, blank lines and "#" comments. The
// best file has one name, best, a whole number from 0; the settings file
// full-screen and muted (yes or no) and, once there was a window,
// window-width and window-height (pixels) and, where the system tells,
// window-x and window-y. Names the game does not know are passed over.
std::string bestText(std::int32_t best);
std::string settingsText(const Settings& settings);
// False when the text makes no sense: a line that is not "name=value", a
// value out of its range, or, for the best, no best at all.
bool readBestText(std::string_view text, std::int32_t& best);
bool readSettingsText(std::string_view text, Settings& settings);

// Set-up
// Finds the places of the files and reads them into the best and the
// settings, which keep their values where there is nothing to read. A file
// that cannot be read or makes no sense is renamed aside, with a note on
// the console, and the game starts as if there were none; one that cannot
// even be renamed is left alone and never written over in this run.
void loadKept(Keeping& keeping, std::int32_t& best, Settings& settings);

// Per frame
// Writes the best once it is higher than the one kept, while holding the
// folder's lock, against the file as it stands then: a higher best written
// meanwhile by another game stays. A failure is noted on the console once
// and tried again only for a higher best.
void keepBest(Keeping& keeping, std::int32_t best);
// Writes the settings when they differ from the ones kept.
void keepSettings(Keeping& keeping, const Settings& settings);
