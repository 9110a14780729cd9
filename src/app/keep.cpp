#include "app/keep.h"

#include <charconv>
#include <climits>
#include <string>

namespace {

constexpr std::string_view yes = "yes", no = "no";

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// A whole number in decimal digits, an optional minus sign first, within the range.
bool readNumber(std::string_view text, long lowest, long highest, int& number) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || text.front() == '+' || error != std::errc() || stop != end) return false;
    if (value < lowest || value > highest) return false;
    number = static_cast<int>(value);
    return true;
}

bool readYesNo(std::string_view text, bool& flag) {
    if (text != yes && text != no) return false;
    flag = text == yes;
    return true;
}

// Calls take(name, value) for each "name=value" line; false when a line is
// neither that, blank nor a comment, or when take says the value makes no sense.
template <typename Take>
bool readLines(std::string_view text, Take take) {
    if (text.size() > largestKeptFile) return false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos ||
            !take(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1))))
            return false;
    }
    return true;
}

void note(const std::string& line) { printConsoleNote(("Tubechain: " + line).c_str()); }

// Reads one kept file; what cannot be read or makes no sense is set aside.
// False when there is nothing to read, or what is there was set aside; the
// path is emptied when it could not be, so that it is never written over.
template <typename Read>
bool readKept(std::string& path, const char* what, Read read) {
    if (path.empty()) return false;
    std::string text;
    const KeptRead found = readKeptFile(path, largestKeptFile, text);
    if (found == KeptRead::missing || (found == KeptRead::read && read(text))) return found == KeptRead::read;
    const std::string fault = found == KeptRead::unreadable ? " cannot be read" : " makes no sense";
    const std::string aside = setKeptFileAside(path);
    if (aside.empty()) {
        note(std::string(what) + " in " + path + fault + " and cannot be renamed: the game leaves it as it is and " +
             "does not keep " + what + " this time.");
        path.clear();
    } else {
        note(std::string(what) + " in " + path + fault + ": it is kept as " + aside + ", and the game starts " +
             "without it.");
    }
    return false;
}

bool samePlace(const WindowPlace& a, const WindowPlace& b) {
    return a.width == b.width && a.height == b.height && a.positioned == b.positioned &&
           (!a.positioned || (a.x == b.x && a.y == b.y));
}

}  // namespace

std::string bestText(std::int32_t best) { return "# Tubechain's best score\nbest=" + std::to_string(best) + "\n"; }

std::string settingsText(const Settings& settings) {
    std::string text = "# Tubechain's settings\n";
    text += "full-screen=" + std::string(settings.fullScreen ? yes : no) + "\n";
    text += "muted=" + std::string(settings.muted ? yes : no) + "\n";
    const WindowPlace& window = settings.window;
    if (window.width > 0 && window.height > 0) {
        text +=
            "window-width=" + std::to_string(window.width) + "\nwindow-height=" + std::to_string(window.height) + "\n";
        if (window.positioned)
            text += "window-x=" + std::to_string(window.x) + "\nwindow-y=" + std::to_string(window.y) + "\n";
    }
    return text;
}

bool readBestText(std::string_view text, std::int32_t& best) {
    int read = -1;
    const bool sense = readLines(text, [&](std::string_view name, std::string_view value) {
        return name != "best" || readNumber(value, 0, INT32_MAX, read);
    });
    if (!sense || read < 0) return false;
    best = read;
    return true;
}

bool readSettingsText(std::string_view text, Settings& settings) {
    Settings read = settings;
    WindowPlace& window = read.window;
    window = WindowPlace();
    bool hasX = false, hasY = false;
    // Sizes and positions within what any desktop has.
    constexpr long largest = 1 << 16;
    const bool sense = readLines(text, [&](std::string_view name, std::string_view value) {
        if (name == "full-screen") return readYesNo(value, read.fullScreen);
        if (name == "muted") return readYesNo(value, read.muted);
        if (name == "window-width") return readNumber(value, 1, largest, window.width);
        if (name == "window-height") return readNumber(value, 1, largest, window.height);
        if (name == "window-x") return hasX = readNumber(value, -largest, largest, window.x);
        if (name == "window-y") return hasY = readNumber(value, -largest, largest, window.y);
        return true;
    });
    if (!sense || (window.width == 0) != (window.height == 0)) return false;
    window.positioned = hasX && hasY;
    settings = read;
    return true;
}

void loadKept(Keeping& keeping, std::int32_t& best, Settings& settings) {
    keeping.bestPath = keptFilePath(KeptFile::best);
    keeping.settingsPath = keptFilePath(KeptFile::settings);
    std::int32_t keptBest = best;
    if (readKept(keeping.bestPath, "the best score",
                 [&](const std::string& text) { return readBestText(text, keptBest); }))
        best = keptBest;
    Settings keptSettings = settings;
    if (readKept(keeping.settingsPath, "the settings",
                 [&](const std::string& text) { return readSettingsText(text, keptSettings); }))
        settings = keptSettings;
    keeping.keptBest = best;
    keeping.keptSettings = settings;
}

void keepBest(Keeping& keeping, std::int32_t best) {
    if (keeping.bestPath.empty() || best <= keeping.keptBest) return;
    KeptLock lock = lockKeptFolder(keeping.bestPath);
    // Another game may have written a higher best since this one last looked.
    std::int32_t onDisk = 0;
    if (readKept(keeping.bestPath, "the best score",
                 [&](const std::string& text) { return readBestText(text, onDisk); }) &&
        onDisk >= best) {
        keeping.keptBest = onDisk;
    } else {
        if (!replaceKeptFile(keeping.bestPath, bestText(best)) && !keeping.bestWarned) {
            note("the best score cannot be written to " + keeping.bestPath + ": it is not kept.");
            keeping.bestWarned = true;
        }
        keeping.keptBest = best;
    }
    unlockKeptFolder(lock);
}

void keepSettings(Keeping& keeping, const Settings& settings) {
    const Settings& kept = keeping.keptSettings;
    if (keeping.settingsPath.empty() || (settings.fullScreen == kept.fullScreen && settings.muted == kept.muted &&
                                         samePlace(settings.window, kept.window)))
        return;
    if (!replaceKeptFile(keeping.settingsPath, settingsText(settings)) && !keeping.settingsWarned) {
        note("the settings cannot be written to " + keeping.settingsPath + ": they are not kept.");
        keeping.settingsWarned = true;
    }
    keeping.keptSettings = settings;
}
