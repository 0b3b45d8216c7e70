#include "shell/datadir.h"

#include <string>

#include "engine/files.h"
#include "screens/hiscore.h"

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
