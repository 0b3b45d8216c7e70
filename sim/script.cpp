#include "sim/script.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace {

bool ParseNumber(const std::string& word, int64_t low, int64_t high, int64_t& out) {
    if (word.empty() || word.size() > 20) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(word.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

constexpr int64_t kCoordLimit = 1000000;

} // namespace

bool ParseEvent(const std::string& text, HeadlessEvent& out, std::string& error) {
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
    if (verb == "move" || verb == "moveby") {
        if (!args(2)) return false;
        int64_t a, b;
        if (!ParseNumber(w[1], -kCoordLimit, kCoordLimit, a) ||
            !ParseNumber(w[2], -kCoordLimit, kCoordLimit, b)) {
            error = "'" + verb + "' needs two whole numbers within +-1000000";
            return false;
        }
        out = {verb == "move" ? HeadlessEvent::Move : HeadlessEvent::MoveBy, int(a), int(b)};
        return true;
    }
    if (verb == "press" || verb == "release") {
        if (!args(1)) return false;
        const bool press = verb == "press";
        if (w[1] == "left")
            out = {press ? HeadlessEvent::Press : HeadlessEvent::Release, 1, 0};
        else if (w[1] == "esc")
            out = {press ? HeadlessEvent::KeyPress : HeadlessEvent::KeyRelease, 27, 0};
        else {
            error = "'" + verb + "' takes left or esc, not '" + w[1] + "'";
            return false;
        }
        return true;
    }
    if (verb == "quit") {
        if (!args(0)) return false;
        out = {HeadlessEvent::Quit, 0, 0};
        return true;
    }
    error = "unknown event '" + verb + "'";
    return false;
}

bool ParseScript(const std::string& text, std::vector<ScriptEvent>& out, std::string& error) {
    std::istringstream in(text);
    int lineNo = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNo;
        line = line.substr(0, line.find('#'));
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos) continue;
        line = line.substr(first);
        const auto cut = line.find_first_of(" \t");
        ScriptEvent e;
        std::string why;
        if (!ParseNumber(line.substr(0, cut), 0, INT64_C(1) << 40, e.frame)) {
            error = "line " + std::to_string(lineNo) + ": a line starts with its frame number";
            return false;
        }
        if (cut == std::string::npos || !ParseEvent(line.substr(cut), e.event, why)) {
            error = "line " + std::to_string(lineNo) + ": " + (why.empty() ? "no event" : why);
            return false;
        }
        out.push_back(e);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
    return true;
}
