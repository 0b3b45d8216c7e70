#include "board/verifier.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
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
    Workspace() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "koravel-verify.XXXXXX").string();
        if (::mkdtemp(pattern.data())) dir = pattern;
    }
    ~Workspace() {
        std::error_code ec;
        if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    }
};

// In the child: limits, output to files, then koravel-sim. Only async-signal-safe calls.
[[noreturn]] void RunSim(const char* sim, char* const argv[], const char* out, const char* err,
                         const VerifierLimits& limits) {
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

Verdict VerifyRecording(const std::string& simPath, const std::string& recording,
                        const VerifierLimits& limits) {
    Verdict v;
    Workspace work;
    if (work.dir.empty()) return {false, "no room to verify the recording", {}};
    const std::string kvr = work.dir / "game.kvr", games = work.dir / "games.jsonl",
                      out = work.dir / "out.txt", err = work.dir / "err.txt";
    {
        std::ofstream file(kvr, std::ios::binary);
        file.write(recording.data(), std::streamsize(recording.size()));
        if (!file.flush()) return {false, "no room to verify the recording", {}};
    }
    std::string args[] = {"koravel-sim", "--replay", kvr, "--no-picture", "--games", games};
    char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(),
                    args[4].data(), args[5].data(), nullptr};
    const pid_t child = ::fork();
    if (child < 0) return {false, "the verifier could not be started", {}};
    if (child == 0) RunSim(simPath.c_str(), argv, out.c_str(), err.c_str(), limits);

    // The wall clock: a verifier still running at its limit is killed.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(limits.wallSeconds);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) return {false, "the verifier was lost", {}};
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return {false, "the recording took too long to verify", {}};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        return {false,
                sig == SIGXCPU || sig == SIGKILL ? "the recording took too long to verify"
                                                 : "the verifier crashed",
                {}};
    }
    if (WEXITSTATUS(status) != 0) {
        const std::string why = FirstLine(ReadAll(err, 4096));
        return {false, why.empty() ? "the recording could not be replayed" : why, {}};
    }
    std::istringstream lines(ReadAll(games, 1 << 20));
    for (std::string line; std::getline(lines, line);) {
        const auto j = nlohmann::json::parse(line, nullptr, false);
        if (j.is_discarded() || !j.is_object()) return {false, "the verifier said nonsense", {}};
        VerifiedGame g;
        g.score = j.value("score", 0);
        g.level = j.value("level", 0);
        g.frame = j.value("frame", uint64_t(0));
        g.name = j.value("name", std::string());
        v.games.push_back(g);
    }
    v.ok = true;
    return v;
}
