#include "board/verifier.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

namespace {

std::string ReadAll(const std::filesystem::path& path, size_t max) {
    std::ifstream in(path, std::ios::binary);
    std::string text(max, '\0');
    in.read(text.data(), std::streamsize(max));
    text.resize(size_t(in.gcount()));
    return text;
}

std::string FirstLine(const std::string& text) {
    const std::string line = text.substr(0, text.find('\n'));
    return line.size() > 200 ? line.substr(0, 200) : line;
}

// A private folder for one verification, removed with everything in it.
struct Workspace {
    std::filesystem::path dir;
    explicit Workspace(const std::string& root) {
        std::string pattern = root + "/verify.XXXXXX";
        if (::mkdtemp(pattern.data())) dir = pattern;
    }
    ~Workspace() {
        std::error_code ec;
        if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    }
};

// In the child: limits, output to files, then koravel-sim. Only async-signal-safe calls.
[[noreturn]] void RunSim(const char* sim, char* const argv[], const char* out, const char* err,
                         const VerifierLimits& limits, pid_t board) {
    // A verifier never outlives the board, however the board ends.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != board) ::_exit(125);
    const rlimit cpu{rlim_t(limits.cpuSeconds), rlim_t(limits.cpuSeconds)};
    const rlimit memory{rlim_t(limits.memoryBytes), rlim_t(limits.memoryBytes)};
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CPU, &cpu);
    if (limits.memoryBytes > 0) ::setrlimit(RLIMIT_AS, &memory);
    ::setrlimit(RLIMIT_CORE, &noCore);
    const int in = ::open("/dev/null", O_RDONLY);
    const int o = ::open(out, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int e = ::open(err, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || o < 0 || e < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(o, 1);
    ::dup2(e, 2);
    ::closefrom(3);
    ::execv(sim, argv);
    ::_exit(127);
}

} // namespace

std::string PrepareWorkFolder(std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path tmp = fs::temp_directory_path(ec);
    if (ec) {
        error = "no temporary folder: " + ec.message();
        return {};
    }
    // A folder whose lock can be taken belongs to a board that is gone.
    for (const auto& entry : fs::directory_iterator(tmp, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("koravel-board.", 0) != 0 || !entry.is_directory(ec) || entry.is_symlink(ec))
            continue;
        const int lock = ::open((entry.path() / "lock").c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (lock >= 0 && ::flock(lock, LOCK_EX | LOCK_NB) == 0) fs::remove_all(entry.path(), ec);
        if (lock >= 0) ::close(lock);
    }
    std::string pattern = (tmp / "koravel-board.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        error = "cannot make a folder in " + tmp.string() + ": " + std::strerror(errno);
        return {};
    }
    // Held open, unlocked by nothing but the board's end.
    const int lock =
        ::open((pattern + "/lock").c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        error = "cannot lock " + pattern + ": " + std::strerror(errno);
        return {};
    }
    return pattern;
}

Verdict VerifyRecording(const std::string& simPath, const std::string& workFolder,
                        const std::string& recording, uint64_t maxFrames,
                        const VerifierLimits& limits, const std::atomic<bool>& cancel) {
    Verdict v;
    Workspace work(workFolder);
    auto noRoom = [&](const char* what) {
        Verdict none;
        none.reason = std::string("no room to verify the recording (") + what + ": " +
                      std::strerror(errno ? errno : ENOSPC) + ")";
        none.retry = none.ours = true;
        return none;
    };
    if (work.dir.empty()) return noRoom("cannot make a folder");
    const std::string kvr = work.dir / "game.kvr", games = work.dir / "games.jsonl",
                      out = work.dir / "out.txt", err = work.dir / "err.txt";
    {
        std::ofstream file(kvr, std::ios::binary);
        file.write(recording.data(), std::streamsize(recording.size()));
        if (!file.flush()) return noRoom("cannot write the recording");
    }
    std::string args[] = {"koravel-sim", "--replay", kvr,        "--no-picture",
                          "--games",     games,      "--frames", std::to_string(maxFrames)};
    char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), args[4].data(),
                    args[5].data(), args[6].data(), args[7].data(), nullptr};
    const pid_t board = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) return noRoom("cannot start a process");
    if (child == 0) RunSim(simPath.c_str(), argv, out.c_str(), err.c_str(), limits, board);

    // The wall clock: a verifier still running at its limit is killed.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(limits.wallSeconds);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) return {false, "the verifier was lost", {}, false, true};
        if (cancel) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return {false, "the board is stopping", {}, true, false};
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return {false, "the recording took too long to verify", {}};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        if (sig == SIGXCPU || sig == SIGKILL)
            return {false, "the recording took too long to verify", {}};
        return {
            false, std::string("the verifier crashed (") + strsignal(sig) + ")", {}, false, true};
    }
    if (WEXITSTATUS(status) >= 125) // the child's own codes: it could not start the sim
        return {false,
                "the verifier could not be started (status " + std::to_string(WEXITSTATUS(status)) +
                    ")",
                {},
                false,
                true};
    if (WEXITSTATUS(status) != 0) {
        const std::string why = FirstLine(ReadAll(err, 4096));
        return {false, why.empty() ? "the recording could not be replayed" : why, {}};
    }
    std::istringstream lines(ReadAll(games, 1 << 20));
    for (std::string line; std::getline(lines, line);) {
        const auto j = nlohmann::json::parse(line, nullptr, false);
        if (j.is_discarded() || !j.is_object())
            return {false, "the verifier said nonsense", {}, false, true};
        VerifiedGame g;
        g.score = j.value("score", 0);
        g.level = j.value("level", 0);
        g.frame = j.value("frame", uint64_t(0));
        g.name = j.value("name", std::string());
        g.identity = j.value("identity", std::string());
        g.rules = j.value("rules", 1);
        g.verifier = j.value("build", std::string());
        g.seed = j.value("seed", int64_t(0));
        g.attempt = j.value("attempt", std::string());
        g.machine = j.value("machine", std::string());
        g.first = j.value("first", false);
        g.pauses = j.value("pauses", 0);
        g.pausedFrames = j.value("pausedFrames", uint64_t(0));
        if (g.identity.size() != 64) return {false, "the verifier named no game", {}, false, true};
        v.games.push_back(g);
    }
    v.ok = true;
    return v;
}
