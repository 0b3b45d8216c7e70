#include "shell/watch.h"

#include "engine/input.h"
#include "record/replay.h"
#include "shell/startup.h"

bool PlayRecording(const Recording& recording, bool anyRules, std::string& error,
                   std::function<void(int64_t frame)> departed) {
    if (recording.rules != kRulesVersion && !anyRules) {
        error = "made by a build with rules " + std::to_string(recording.rules) +
                "; this one plays rules " + std::to_string(kRulesVersion) +
                ", under which it would be another game";
        return false;
    }
    run.seed_override = recording.seed;
    if (!recording.table.empty()) run.table_override = recording.table;
    for (const ScriptEvent& e : recording.events) ScheduleInput(*e.poll, e.event);
    CheckAgainst(anyRules ? std::vector<Checkpoint>{} : recording.checks, std::move(departed));
    return true;
}

std::string DepartureMessage(int64_t frame) {
    return "the game departs from its recording by frame " + std::to_string(frame) +
           " (its first checkpoint that differs): the recording was altered, or made by a build "
           "whose rules differ from this one's";
}
