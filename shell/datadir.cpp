#include "shell/datadir.h"

#include <cstdio>
#include <string>

#include "engine/files.h"
#include "screens/hiscore.h"

void EnterDataFolderOrSay(const char* program) {
    if (EnterDataFolder() || IsFolder("gfx")) return;
    const std::string beside = ProgramFolder();
    std::fprintf(stderr,
                 "%s: no game data (gfx/, sound/) beside the program in %s, in %s/../share/koravel "
                 "or in the current folder; the pictures and sounds will be missing\n",
                 program, beside.c_str(), beside.c_str());
}

bool EnterDataFolder() {
    const std::string beside = ProgramFolder();
    if (beside.empty()) return false;
    const std::string installed = beside + "/../share/koravel";
    if (IsFolder(beside + "/gfx")) return EnterFolder(beside);
    if (IsFolder(installed + "/gfx")) {
        scorefiles.scores_in_user_folder = true; // nothing is written under the installation prefix
        return EnterFolder(installed);
    }
    return false;
}
