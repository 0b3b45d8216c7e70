#include "format/recording.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string_view>

namespace {

constexpr int64_t kCoordLimit = 1000000;
constexpr int64_t kFrameLimit = INT64_C(1) << 40;
constexpr size_t kLineLimit = 4096; // no real line comes near; a longer one is not ours

} // namespace

bool ParseWholeNumber(const std::string& word, int64_t low, int64_t high, int64_t& out) {
    // Digits with an optional minus, nothing else: no blanks or plus sign before, and a NUL
    // inside the word is not its end.
    const size_t digits = !word.empty() && word[0] == '-' ? 1 : 0;
    if (word.size() == digits || word.size() > 20 ||
        !std::all_of(word.begin() + long(digits), word.end(),
                     [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(word.c_str(), &end, 10);
    if (errno != 0 || end != word.c_str() + word.size() || v < low || v > high) return false;
    out = v;
    return true;
}

namespace {

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

struct Line {
    int number;
    std::string text; // comment and surrounding blanks removed
};

// Hands each meaningful line to visit, which returns false (error set) to stop; or stops with
// an error naming a line that is too long. Lines are seen one at a time, so a large script
// takes no more memory than its events.
template <typename Visit>
bool ForEachLine(std::string_view text, bool keepComments, std::string& error, Visit visit) {
    size_t start = 0;
    int number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        ++number;
        if (end - start > kLineLimit) {
            error = "line " + std::to_string(number) + " is too long";
            return false;
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!keepComments || line.rfind("# koravel", 0) != 0) line = line.substr(0, line.find('#'));
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos) continue;
        const auto last = line.find_last_not_of(" \t\r");
        if (!visit(Line{number, std::string(line.substr(first, last - first + 1))})) return false;
    }
    return true;
}

std::string At(int line) { return "line " + std::to_string(line) + ": "; }

} // namespace

bool ParseEvent(const std::string& text, InputEvent& out, std::string& error) {
    const auto w = Words(text);
    if (w.empty()) {
        error = "empty event";
        return false;
    }
    const std::string& verb = w[0];
    auto args = [&](size_t n) {
        if (w.size() == n + 1) return true;
        error = "'" + verb + "' takes " + std::to_string(n) + " argument" + (n == 1 ? "" : "s");
        return false;
    };
    int64_t a = 0, b = 0;
    if (verb == "move" || verb == "moveby") {
        if (!args(2)) return false;
        if (!ParseWholeNumber(w[1], -kCoordLimit, kCoordLimit, a) ||
            !ParseWholeNumber(w[2], -kCoordLimit, kCoordLimit, b)) {
            error = "'" + verb + "' needs two whole numbers within +-1000000";
            return false;
        }
        out = {verb == "move" ? InputEvent::Move : InputEvent::MoveBy, int(a), int(b)};
        return true;
    }
    if (verb == "press" || verb == "release") {
        const bool press = verb == "press";
        const InputEvent::Kind button = press ? InputEvent::Press : InputEvent::Release;
        const InputEvent::Kind key = press ? InputEvent::KeyPress : InputEvent::KeyRelease;
        if (w.size() == 3 && w[1] == "key") {
            if (!ParseWholeNumber(w[2], 1, 255, a)) {
                error = "'" + verb + " key' takes a key number from 1 to 255, not '" + w[2] + "'";
                return false;
            }
            out = {key, int(a), 0};
            return true;
        }
        if (!args(1)) return false;
        if (w[1] == "left")
            out = {button, 1, 0};
        else if (w[1] == "right")
            out = {button, 2, 0};
        else if (w[1] == "middle")
            out = {button, 3, 0};
        else if (w[1] == "esc")
            out = {key, kKeyEscape, 0};
        else if (w[1] == "pause")
            out = {key, kKeyPause, 0};
        else {
            error =
                "'" + verb + "' takes left, right, middle, esc, pause or key N, not '" + w[1] + "'";
            return false;
        }
        return true;
    }
    if (verb == "wheel") {
        if (!args(1)) return false;
        if (!ParseWholeNumber(w[1], -kCoordLimit, kCoordLimit, a)) {
            error = "'wheel' needs a whole number";
            return false;
        }
        out = {InputEvent::Wheel, int(a), 0};
        return true;
    }
    const struct {
        const char* word;
        InputEvent::Kind kind;
    } plain[] = {{"quit", InputEvent::Quit},
                 {"suspend", InputEvent::Suspend},
                 {"resume", InputEvent::Resume}};
    for (const auto& p : plain) {
        if (verb != p.word) continue;
        if (!args(0)) return false;
        out = {p.kind, 0, 0};
        return true;
    }
    error = "unknown event '" + verb + "'";
    return false;
}

std::string FormatEvent(const InputEvent& e) {
    auto button = [](int b) {
        return b == 1 ? std::string("left") : b == 2 ? std::string("right") : std::string("middle");
    };
    auto key = [](int k) {
        return k == kKeyEscape  ? std::string("esc")
               : k == kKeyPause ? std::string("pause")
                                : "key " + std::to_string(k);
    };
    switch (e.kind) {
    case InputEvent::Move:
        return "move " + std::to_string(e.a) + " " + std::to_string(e.b);
    case InputEvent::MoveBy:
        return "moveby " + std::to_string(e.a) + " " + std::to_string(e.b);
    case InputEvent::Press:
        return "press " + button(e.a);
    case InputEvent::Release:
        return "release " + button(e.a);
    case InputEvent::KeyPress:
        return "press " + key(e.a);
    case InputEvent::KeyRelease:
        return "release " + key(e.a);
    case InputEvent::Wheel:
        return "wheel " + std::to_string(e.a);
    case InputEvent::Quit:
        return "quit";
    case InputEvent::Suspend:
        return "suspend";
    case InputEvent::Resume:
        return "resume";
    }
    return "quit";
}

namespace {

// "F EVENT ... [@P]"
bool ParseStamped(const Line& line, ScriptEvent& e, std::string& error) {
    std::string text = line.text;
    const auto at = text.rfind('@');
    if (at != std::string::npos) {
        int64_t poll;
        if (!ParseWholeNumber(text.substr(at + 1), 1, INT64_C(1) << 62, poll)) {
            error = At(line.number) + "'@' needs a poll number";
            return false;
        }
        e.poll = uint64_t(poll);
        text = text.substr(0, at);
    }
    const auto cut = text.find_first_of(" \t");
    if (!ParseWholeNumber(text.substr(0, cut), 0, kFrameLimit, e.frame)) {
        error = At(line.number) + "a line starts with its frame number";
        return false;
    }
    std::string why;
    if (cut == std::string::npos || !ParseEvent(text.substr(cut), e.event, why)) {
        error = At(line.number) + (why.empty() ? "no event" : why);
        return false;
    }
    return true;
}

} // namespace

bool ParseScript(std::string_view text, std::vector<ScriptEvent>& out, std::string& error) {
    out.reserve(out.size() + size_t(std::count(text.begin(), text.end(), '\n')) + 1);
    const bool parsed = ForEachLine(text, false, error, [&](const Line& line) {
        ScriptEvent e;
        if (!ParseStamped(line, e, error)) return false;
        out.push_back(e);
        return true;
    });
    if (!parsed) return false;
    // Scripts mostly come in order; sorting one that does costs a copy of it.
    const auto byFrame = [](const ScriptEvent& a, const ScriptEvent& b) {
        return a.frame < b.frame;
    };
    if (!std::is_sorted(out.begin(), out.end(), byFrame))
        std::stable_sort(out.begin(), out.end(), byFrame);
    return true;
}

bool IsAttemptToken(const std::string& text) {
    return text.size() == kAttemptDigits &&
           text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string RecordingHeader(int64_t seed, const std::vector<ScoreEntry>& table,
                            const RecordingOrigin& origin) {
    std::string text = "# koravel replay " + std::to_string(kRecordingVersion) + " seed " +
                       std::to_string(seed) + " rules " + std::to_string(kRulesVersion) + "\n";
    if (!origin.attempt.empty()) text += "# koravel attempt " + origin.attempt + "\n";
    if (!origin.machine.empty()) text += "# koravel machine " + origin.machine + "\n";
    if (!origin.devices.empty()) text += "# koravel devices " + origin.devices + "\n";
    static const char hex[] = "0123456789abcdef";
    for (const ScoreEntry& e : table) {
        std::string name = "-";
        for (unsigned char c : e.name.substr(0, 64)) name += {hex[c >> 4], hex[c & 15]};
        text += "# koravel table " + std::to_string(e.score) + " " + std::to_string(e.level) + " " +
                name + "\n";
    }
    return text;
}

std::string CheckpointLine(int64_t frame, uint64_t sum) {
    char text[48];
    std::snprintf(text, sizeof text, "%lld check %016llx\n", static_cast<long long>(frame),
                  static_cast<unsigned long long>(sum));
    return text;
}

namespace {

// "# koravel replay 1 seed S" or "# koravel replay 2 seed S rules R".
bool ParseHeader(const Line* line, Recording& out, std::string& error) {
    const auto head = line ? Words(line->text) : std::vector<std::string>{};
    int64_t& version = out.version;
    if (head.size() < 6 || head[0] != "#" || head[1] != "koravel" || head[2] != "replay" ||
        head[4] != "seed" || !ParseWholeNumber(head[3], 0, 1000, version)) {
        error = "not a Koravel recording (no '# koravel replay' header)";
        return false;
    }
    if (!ParseWholeNumber(head[5], INT64_MIN, INT64_MAX, out.seed)) {
        error = "line 1: the seed is not a 64-bit whole number";
        return false;
    }
    if (version < 1 || version > kRecordingVersion) {
        error = "a recording of version " + std::to_string(version) +
                "; this game reads versions 1 to " + std::to_string(kRecordingVersion);
        return false;
    }
    const size_t words = version == 1 ? 6 : 8;
    if (head.size() != words ||
        (version > 1 &&
         (head[6] != "rules" || !ParseWholeNumber(head[7], 1, 1000000, out.rules)))) {
        error = version == 1 ? "line 1: a version 1 header ends with its seed"
                             : "line 1: a version 2 header ends with 'rules' and their number";
        return false;
    }
    return true;
}

// Some of mouse, touch, keyboard and gamepad, each once, in that order.
bool AreDevices(const std::string& text) {
    const char* const order[] = {"mouse", "touch", "keyboard", "gamepad"};
    size_t next = 0;
    const auto words = Words(text);
    for (const std::string& w : words) {
        while (next < 4 && w != order[next]) ++next;
        if (next++ >= 4) return false;
    }
    return !words.empty() && text.find("  ") == std::string::npos;
}

// "# koravel devices WORDS", at most once, before the table.
bool ParseDevicesLine(const Line& line, Recording& out, std::string& error) {
    const std::string value = line.text.substr(18);
    if (!out.origin.devices.empty() || !out.table.empty() || !AreDevices(value)) {
        error = At(line.number) + "a devices line, once and before the table, names some of mouse, "
                                  "touch, keyboard and gamepad, in that order";
        return false;
    }
    out.origin.devices = value;
    return true;
}

// "# koravel attempt TOKEN" or "# koravel machine TEXT", each at most once, before the table.
bool ParseOriginLine(const Line& line, Recording& out, std::string& error) {
    const bool attempt = line.text.rfind("# koravel attempt ", 0) == 0;
    std::string& field = attempt ? out.origin.attempt : out.origin.machine;
    const std::string value = line.text.substr(18); // both words are as long
    const bool printable =
        std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c <= 0x7e; });
    const bool ok = attempt ? IsAttemptToken(value)
                            : !value.empty() && value.size() <= kMaxMachineText && printable;
    if (!field.empty() || !out.table.empty() || !ok) {
        error = At(line.number) + (attempt ? "an attempt line, once and before the table, holds "
                                             "32 lower-case hex digits"
                                           : "a machine line, once and before the table, names "
                                             "its machine in at most 200 printable characters");
        return false;
    }
    field = value;
    return true;
}

bool ParseTableLine(const Line& line, Recording& out, std::string& error) {
    {
        const auto w = Words(line.text);
        int64_t score, level;
        ScoreEntry e;
        bool ok = w.size() == 6 && ParseWholeNumber(w[3], INT32_MIN, INT32_MAX, score) &&
                  ParseWholeNumber(w[4], INT32_MIN, INT32_MAX, level) && w[5][0] == '-' &&
                  w[5].size() % 2 == 1 && w[5].size() <= 129 && out.table.size() < 10;
        for (size_t k = 1; ok && k < w[5].size(); k += 2) {
            const auto digit = [](char c) {
                return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            };
            const int hi = digit(w[5][k]), lo = digit(w[5][k + 1]);
            ok = hi >= 0 && lo >= 0;
            e.name += char(hi * 16 + lo);
        }
        if (!ok) {
            error = At(line.number) + "a table line holds a score, a level and a hex name";
            return false;
        }
        if (!EnterableName(e.name)) {
            error = At(line.number) + "a name in the table is not one the game lets a player enter";
            return false;
        }
        e.score = int(score), e.level = int(level);
        out.table.push_back(e);
    }
    return true;
}

} // namespace

bool ParseRecording(std::string_view text, Recording& out, std::string& error) {
    enum { Header, Table, Events } part = Header;
    bool ended = false;
    uint64_t lastPoll = 0;
    int64_t lastFrame = 0, lastCheck = -1;
    const bool parsed = ForEachLine(text, true, error, [&](const Line& line) {
        if (part == Header) {
            part = Table;
            return ParseHeader(&line, out, error);
        }
        if (part == Table && line.text.rfind("# koravel table ", 0) == 0)
            return ParseTableLine(line, out, error);
        if (part == Table && out.version >= 2 &&
            (line.text.rfind("# koravel attempt ", 0) == 0 ||
             line.text.rfind("# koravel machine ", 0) == 0))
            return ParseOriginLine(line, out, error);
        if (part == Table && out.version >= 2 && line.text.rfind("# koravel devices ", 0) == 0)
            return ParseDevicesLine(line, out, error);
        part = Events;
        if (ended) {
            error = At(line.number) + "nothing may follow the end";
            return false;
        }
        const auto w = Words(line.text);
        if (w.size() == 2 && w[1] == "end") {
            if (!ParseWholeNumber(w[0], std::max(lastFrame, lastCheck), kFrameLimit,
                                  out.endFrame)) {
                error = At(line.number) + "the end needs a frame number not before the last event";
                return false;
            }
            ended = true;
            return true;
        }
        if (w.size() == 3 && w[1] == "check") {
            Checkpoint c;
            const bool hex = w[2].size() == 16 &&
                             w[2].find_first_not_of("0123456789abcdef") == std::string::npos;
            if (out.version < 2 || !hex ||
                !ParseWholeNumber(w[0], std::max(lastFrame, lastCheck + 1), kFrameLimit, c.frame)) {
                error = At(line.number) + (out.version >= 2
                                               ? "a check names a later frame and 16 hex digits"
                                               : "a version 1 recording holds no checks");
                return false;
            }
            c.sum = std::strtoull(w[2].c_str(), nullptr, 16);
            lastCheck = c.frame;
            out.checks.push_back(c);
            return true;
        }
        ScriptEvent e;
        if (!ParseStamped(line, e, error)) return false;
        if (!e.poll || *e.poll < lastPoll || e.frame < std::max(lastFrame, lastCheck)) {
            error = At(line.number) + "events of a recording come with rising '@' polls and frames";
            return false;
        }
        lastPoll = *e.poll;
        lastFrame = e.frame;
        out.events.push_back(e);
        return true;
    });
    if (!parsed) return false;
    if (part == Header && !ParseHeader(nullptr, out, error)) return false;
    if (!ended) {
        error = "the recording is cut short (no end line)";
        return false;
    }
    if (out.endFrame > kMaxRecordingFrames) {
        error = "the recording runs " + std::to_string(out.endFrame) + " frames; at most " +
                std::to_string(kMaxRecordingFrames) + " are played";
        return false;
    }
    if (out.endFrame - lastFrame > kMaxIdleFrames) {
        error = "the recording runs on " + std::to_string(out.endFrame - lastFrame) +
                " frames after its last event; at most " + std::to_string(kMaxIdleFrames) +
                " are played";
        return false;
    }
    return true;
}
