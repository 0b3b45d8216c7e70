#include "shell/datadir.h"

#include <filesystem>
#include <system_error>

#include "screens/hiscore.h"

bool EnterDataFolder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return false;
    const fs::path beside = exe.parent_path();
    const fs::path installed = beside / ".." / "share" / "koravel";
    if (fs::is_directory(beside / "gfx", ec)) {
        fs::current_path(beside, ec);
        return !ec;
    }
    if (fs::is_directory(installed / "gfx", ec)) {
        fs::current_path(installed, ec);
        hiscores.scores_in_user_folder = true; // nothing is written under the installation prefix
        return !ec;
    }
    return false;
}
