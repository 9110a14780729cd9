#include "support/test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "app/frame.h"
#include "render/frame_target.h"
#include "render/window.h"

namespace fs = std::filesystem;

namespace {
ViewSettings view;
FrameTarget target;

// Before any test runs: a home and XDG folders of the tests' own, which
// every game a test starts inherits unless it is given others.
const bool testHomeSet = [] {
    const fs::path home = TUBECHAIN_TEST_HOME;
    std::error_code ignored;
    fs::create_directories(home, ignored);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
    return true;
}();
}  // namespace

GLFWwindow* sharedWindow() {
    static GLFWwindow* window = [] {
        GLFWwindow* opened = setUpWindow(view, target);
        if (!opened) throw std::runtime_error("no window: is a display there?");
        return opened;
    }();
    return window;
}

const ViewSettings& sharedView() {
    sharedWindow();
    return view;
}

Game& startedGame() {
    static Game* game = [] {
        static Game made;
        if (!startUp(made)) throw std::runtime_error("start-up failed");
        return &made;
    }();
    return *game;
}

FramePlay& givenPlay() {
    static FramePlay play = [] {
        FramePlay given;
        given.fromWindow = false;
        given.paced = false;
        return given;
    }();
    return play;
}

void playFrameUpToSwap(Game& game, const FrameInput& input) {
    givenPlay().given = input;
    runFrameStages(game, givenPlay(), FrameStage::input, FrameStage::swap);
}

void finishFrame(Game& game) { runFrameStages(game, givenPlay(), FrameStage::swap, FrameStage::done); }

void playFrame(Game& game, const FrameInput& input) {
    playFrameUpToSwap(game, input);
    finishFrame(game);
}

int occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

fs::path sourceDir() { return TUBECHAIN_SOURCE_DIR; }
fs::path executablePath() {
    const char* game = std::getenv("TUBECHAIN_GAME");
    return game && *game ? fs::path(game) : fs::path(TUBECHAIN_EXECUTABLE);
}

double secondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void pauseBetweenLooks() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

SpawnedProcess spawnProcess(const std::vector<std::string>& command, const fs::path& folder,
                            const std::vector<std::string>& environment) {
    SpawnedProcess process;
    char outputTemplate[] = "/tmp/tubechain-output-XXXXXX";
    process.outputFd = mkstemp(outputTemplate);
    process.outputPath = outputTemplate;
    process.startSeconds = secondsNow();
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        if (chdir(folder.c_str()) != 0) _exit(126);
        dup2(process.outputFd, STDOUT_FILENO);
        dup2(process.outputFd, STDERR_FILENO);
        const int nullFd = open("/dev/null", O_RDONLY);
        dup2(nullFd, STDIN_FILENO);
        for (const std::string& setting : environment) {
            const auto equals = setting.find('=');
            const std::string name = setting.substr(0, equals);
            const std::string value = setting.substr(equals + 1);
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv;
        for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    process.pid = pid;
    return process;
}

ProcessResult finishProcess(SpawnedProcess& process, double timeLimitSeconds) {
    ProcessResult result;
    int status = 0;
    // The time limit counts from now: a game a test has played for a while
    // still has all of it to end in.
    const double limit = secondsNow() + timeLimitSeconds;
    for (;;) {
        const pid_t done = waitpid(process.pid, &status, WNOHANG);
        result.seconds = secondsNow() - process.startSeconds;
        if (done == process.pid) break;
        if (secondsNow() > limit) {
            result.timedOut = true;
            kill(-process.pid, SIGKILL);
            kill(process.pid, SIGKILL);
            waitpid(process.pid, &status, 0);
            break;
        }
        pauseBetweenLooks();
    }
    if (!result.timedOut && WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    lseek(process.outputFd, 0, SEEK_SET);
    char chunk[4096];
    ssize_t count;
    while ((count = read(process.outputFd, chunk, sizeof chunk)) > 0) result.output.append(chunk, count);
    close(process.outputFd);
    unlink(process.outputPath.c_str());
    return result;
}

ProcessResult runProcess(const std::vector<std::string>& command, const fs::path& folder,
                         const std::vector<std::string>& environment, double timeLimitSeconds) {
    SpawnedProcess process = spawnProcess(command, folder, environment);
    return finishProcess(process, timeLimitSeconds);
}

std::string shellOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[512];
        size_t count;
        while ((count = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, count);
        pclose(pipe);
    }
    return output;
}

DataCopy::DataCopy() {
    char folderTemplate[] = "/tmp/tubechain-data-XXXXXX";
    folder = mkdtemp(folderTemplate);
    for (const char* name : {"Model", "Texture", "SFX"}) {
        fs::copy(sourceDir() / name, folder / name, fs::copy_options::recursive);
    }
}

DataCopy::~DataCopy() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}
