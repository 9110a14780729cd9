// 64-bit Windows, built with MinGW-w64. The build defines NOMINMAX and
// WIN32_LEAN_AND_MEAN for every file, since the GL headers bring in
// <windows.h> too.
#include <GLFW/glfw3.h>
#include <conio.h>
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
    const std::string text = std::string(line) + "\r\n";
    DWORD written = 0;
    WriteFile(messageOutput.handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    FlushFileBuffers(messageOutput.handle);
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
