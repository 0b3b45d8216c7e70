// koravel: the game in a real window. It takes no arguments.
#include <csignal>
#include <filesystem>
#include <system_error>

#include "engine/input.h"
#include "shell/mainloop.h"

namespace {

void OnSignal(int) { RequestQuitFromSignal(); }

// The data folders sit beside the program, wherever it is started from.
void EnterProgramFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) std::filesystem::current_path(exe.parent_path(), ec);
}

} // namespace

int main() {
    EnterProgramFolder();
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    return RunGame();
}
