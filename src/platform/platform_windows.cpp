// 64-bit Windows, built with MinGW-w64. The build defines NOMINMAX and
// WIN32_LEAN_AND_MEAN for every file, since the GL headers bring in
// <windows.h> too.
#include <GLFW/glfw3.h>
#include <conio.h>
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace {

// Where start-up messages go, chosen at the first one: the standard output
// the game was given (a file, a pipe, or the console of a console program
// that started it), else the console of the command prompt it was typed
// into, else a message box, since a game started by a double click has no
// console and would otherwise end without a word.
struct MessageOutput {
    bool chosen = false;      // at the first message
    HANDLE handle = nullptr;  // null: a message box
};
MessageOutput messageOutput;

HANDLE usableHandle(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
    return GetFileType(handle) == FILE_TYPE_UNKNOWN ? nullptr : handle;
}

void chooseMessageOutput() {
    messageOutput.chosen = true;
    messageOutput.handle = usableHandle(GetStdHandle(STD_OUTPUT_HANDLE));
    if (messageOutput.handle || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
    messageOutput.handle =
        usableHandle(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
}

// The wide form of a path in the system's code page, the one the C
// library's fopen and std::filesystem's narrow strings use. Empty when it
// does not convert.
std::wstring widePath(const char* path) {
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (length <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, wide.data(), length) != length) return {};
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

// The kept files' paths are held in UTF-8, since the player's own folder
// may be named in any script ("Jörg", or in Japanese) that the system's
// narrow code page lacks; every call to the system takes them wide. Empty
// when the text does not convert.
std::wstring wideFromUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(),
                            length) != length)
        return {};
    return wide;
}

std::string utf8FromWide(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), static_cast<int>(wide.size()), text.data(),
                            length, nullptr, nullptr) != length)
        return {};
    return text;
}

// Writes one line. A console takes it as text, whatever its code page, so
// that a path with any letter in it reads right; a file or a pipe takes its
// UTF-8 bytes. Nothing is flushed: the system holds no line back, and
// flushing a pipe would wait until whoever reads it has read everything.
void writeLine(HANDLE output, const char* line) {
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(output, &mode)) {
        const std::wstring text = wideFromUtf8(std::string(line) + "\r\n");
        WriteConsoleW(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string text = std::string(line) + "\r\n";
    WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The folder a kept file lies in: all before its last separator.
std::wstring parentFolder(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Makes the folder and those above it that are missing. A drive ("C:") or
// a share ("\\server\share") is there or not; it is never made.
bool makeFolders(const std::wstring& folder) {
    if (folder.empty()) return false;
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::wstring parent = parentFolder(folder);
    if (parent.empty() || parent.back() == L':' || parent.find_first_not_of(L"\\") == std::wstring::npos ||
        !makeFolders(parent))
        return false;
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// Writes all of it, however the system splits the writes.
bool writeAll(HANDLE file, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        DWORD count = 0;
        if (!WriteFile(file, text.data() + written, static_cast<DWORD>(text.size() - written), &count, nullptr) ||
            count == 0)
            return false;
        written += count;
    }
    return true;
}

}  // namespace

void enterDataFolder() {
    // The program's own path, however long; a folder that cannot be entered
    // leaves the working folder as it is, and the game then says which file
    // it misses.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) return;
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return;
    // The separator stays: "C:" alone would be drive C's own working folder.
    path.resize(slash + 1);
    SetCurrentDirectoryW(path.c_str());
}

// The heap trimming that the POSIX build turns off is the GNU C library's;
// the Windows heap is left as it is.
void tuneAllocator() {}

// No platform to choose on Windows: GLFW 3.4 refuses the X11 hint there.
bool startWindowLibrary() { return glfwInit() == GLFW_TRUE; }

void printConsoleLine(const char* line) {
    if (!messageOutput.chosen) chooseMessageOutput();
    if (!messageOutput.handle) {
        MessageBoxA(nullptr, line, "Tubechain", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
        return;
    }
    writeLine(messageOutput.handle, line);
}

void printConsoleNote(const char* line) {
    if (!messageOutput.chosen) chooseMessageOutput();
    if (messageOutput.handle) {
        writeLine(messageOutput.handle, line);
        return;
    }
    // A game started by a double click has no console: a box would stop
    // the game for what is no failure, so the note goes only to a debugger.
    OutputDebugStringW(wideFromUtf8(std::string(line) + "\n").c_str());
}

void pauseForConsole() {
    // A message box waits for its OK by itself.
    if (!messageOutput.chosen) chooseMessageOutput();
    if (!messageOutput.handle) return;
    for (int waited = 0; waited < 1000; waited += 50) {
        if (_kbhit()) return;
        Sleep(50);
    }
}

bool readWholeFile(const char* path, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    const std::wstring wide = widePath(path);
    if (wide.empty()) return false;
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    // A folder does not open without FILE_FLAG_BACKUP_SEMANTICS; a device
    // (CON, NUL, a pipe) is no disk file.
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > largestDataFile) {
        CloseHandle(file);
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t read = 0;
    while (read < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file, bytes.data() + read, static_cast<DWORD>(bytes.size() - read), &got, nullptr) || got == 0)
            break;
        read += got;
    }
    CloseHandle(file);
    // A file that grew while it was read is taken as far as its size said.
    const bool whole = read == bytes.size();
    if (!whole) bytes.clear();
    return whole;
}

std::string keptFilePath(KeptFile file) {
    // The Roaming AppData folder as the system knows it, which follows the
    // folder wherever the player or an administrator moved it; the APPDATA
    // variable may be missing from, or stale in, the environment another
    // program handed on. The folder is made when the first file is written.
    PWSTR folder = nullptr;
    std::string path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DONT_VERIFY, nullptr, &folder)) && folder)
        path = utf8FromWide(folder);
    CoTaskMemFree(folder);
    if (path.empty()) return "";
    return path + "\\Tubechain\\" + (file == KeptFile::best ? "best.txt" : "settings.ini");
}

KeptRead readKeptFile(const std::string& path, std::size_t largest, std::string& text) {
    text.clear();
    const std::wstring wide = wideFromUtf8(path);
    if (wide.empty()) return KeptRead::unreadable;
    // Shared for deleting too, which another game renaming its new file over
    // this one needs. A program that holds the file to itself for a moment
    // (a virus scanner, a backup) is waited for briefly, since an unreadable
    // file is set aside. A folder does not open without
    // FILE_FLAG_BACKUP_SEMANTICS: in the file's place, it is unreadable.
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_SHARING_VIOLATION;
    for (int tries = 0; file == INVALID_HANDLE_VALUE && error == ERROR_SHARING_VIOLATION && tries < 10; ++tries) {
        if (tries > 0) Sleep(20);
        file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        error = GetLastError();
    }
    if (file == INVALID_HANDLE_VALUE)
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? KeptRead::missing
                                                                              : KeptRead::unreadable;
    // A device or a pipe is no file to read to its end.
    bool whole = GetFileType(file) == FILE_TYPE_DISK;
    char chunk[4096];
    while (whole && text.size() <= largest) {
        DWORD count = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &count, nullptr)) whole = false;
        if (!whole || count == 0) break;
        text.append(chunk, count);
    }
    CloseHandle(file);
    if (!whole) {
        text.clear();
        return KeptRead::unreadable;
    }
    if (text.size() > largest + 1) text.resize(largest + 1);
    return KeptRead::read;
}

bool replaceKeptFile(const std::string& path, const std::string& text) {
    const std::wstring wide = wideFromUtf8(path);
    if (wide.empty() || !makeFolders(parentFolder(wide))) return false;
    // A new file beside it, under a name of this game's own: another game
    // writing at the same moment, or one that died leaving its new file,
    // holds another.
    std::wstring name;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int n = 0; n < 100 && file == INVALID_HANDLE_VALUE; ++n) {
        name = wide + L".new-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(n);
        file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool written = writeAll(file, text) && FlushFileBuffers(file);
    bool replaced = CloseHandle(file) && written;
    // The rename reaches the disk before the call returns. A program reading
    // the old file at that moment (another game starting, a virus scanner)
    // may make it fail with a sharing error: it is tried again, briefly.
    for (int tries = 0; replaced; ++tries) {
        if (MoveFileExW(name.c_str(), wide.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) break;
        const DWORD error = GetLastError();
        replaced = tries < 10 && (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION);
        if (replaced) Sleep(20);
    }
    if (!replaced) DeleteFileW(name.c_str());
    return replaced;
}

std::string setKeptFileAside(const std::string& path) {
    const std::wstring wide = wideFromUtf8(path);
    if (wide.empty()) return "";
    for (int n = 1; n <= 1000; ++n) {
        const std::string aside = path + (n == 1 ? ".bad" : ".bad-" + std::to_string(n));
        // Without MOVEFILE_REPLACE_EXISTING the rename refuses a name that
        // is taken, by a file or a folder.
        if (MoveFileExW(wide.c_str(), wideFromUtf8(aside).c_str(), 0)) return aside;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return "";
    }
    return "";
}

KeptLock lockKeptFolder(const std::string& path) {
    KeptLock lock;
    const std::wstring folder = parentFolder(wideFromUtf8(path));
    if (!makeFolders(folder)) return lock;
    // Windows locks no folder: every game locks the first byte of the same
    // hidden file in it instead, which stays there between runs. LockFileEx
    // waits for its turn, and the system lets go of a game's lock however
    // the game ends.
    const HANDLE file = CreateFileW((folder + L"\\kept.lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lock;
    OVERLAPPED fromStart = {};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &fromStart)) {
        CloseHandle(file);
        return lock;
    }
    lock.handle = reinterpret_cast<std::intptr_t>(file);
    return lock;
}

void unlockKeptFolder(KeptLock& lock) {
    if (lock.handle == -1) return;
    const HANDLE file = reinterpret_cast<HANDLE>(lock.handle);
    // Let go at once: a lock closed with its file is freed only when the
    // system gets round to it.
    OVERLAPPED fromStart = {};
    UnlockFileEx(file, 0, 1, 0, &fromStart);
    CloseHandle(file);
    lock.handle = -1;
}
