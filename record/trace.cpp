#include "record/trace.h"

#include <cstdio>

#include "atom/electron.h"
#include "atom/nucleus.h"
#include "hostiles/kinds.h"
#include "state/game.h"
#include "state/point.h"
#include "state/points.h"
#include "state/trail.h"
#include "state/world.h"

namespace {

void Field(std::string& out, const char* name, int64_t value) {
    out += ",\"";
    out += name;
    out += "\":";
    out += std::to_string(value);
}

// [[x, y], ...] of a kind, or [[x, y, caught], ...] for the nuclei in play.
template <class List> void Positions(std::string& out, const char* name, const List& list) {
    out += ",\"";
    out += name;
    out += "\":[";
    bool first = true;
    for (const auto& e : list) {
        std::string extra;
        float ex, ey;
        if constexpr (requires { e.parent; }) {
            ex = ElecX(e), ey = ElecY(e);
        } else {
            ex = float(e.x), ey = float(e.y);
        }
        if constexpr (requires { e.active; }) {
            if (e.active == kSlotFree) continue;
            extra = ',';
            extra += std::to_string(e.caught);
        }
        out += first ? "[" : ",[";
        out += std::to_string(int(ex)) + "," + std::to_string(int(ey)) + extra + "]";
        first = false;
    }
    out += "]";
}

int ActiveNuclei() {
    int n = 0;
    for (const auto& e : CurrentWorld().nuc_list) n += e.active != kSlotFree;
    return n;
}

} // namespace

std::string TraceLine(uint64_t frame, int64_t ms, bool entities,
                      const std::vector<std::string>& sounds) {
    World& world = CurrentWorld();
    std::string out = "{\"frame\":" + std::to_string(frame);
    Field(out, "ms", ms);
    out += ",\"screen\":\"";
    out += world.game.current_screen;
    out += "\"";
    Field(out, "score", world.game.score);
    Field(out, "level", world.game.level);
    Field(out, "men", world.game.men);
    Field(out, "x", world.point.x);
    Field(out, "y", world.point.y);
    Field(out, "pw", world.point.pw);
    Field(out, "segs", world.trail.segs);
    Field(out, "looping", world.trail.looping);
    Field(out, "nuc", ActiveNuclei());
    Field(out, "elec", world.elec_list.Count());
    for (const HostileKind& kind : HostileKinds()) Field(out, kind.traceKey, kind.list().Count());
    Field(out, "pnts", world.pnts_list.Count());
    out += ",\"sounds\":[";
    for (size_t i = 0; i < sounds.size(); ++i) out += (i ? ",\"" : "\"") + sounds[i] + "\"";
    out += "]";
    if (entities) {
        Positions(out, "nucs", world.nuc_list);
        Positions(out, "elecs", world.elec_list);
        for (const HostileKind& kind : HostileKinds()) {
            if (!kind.places) continue;
            std::string places;
            kind.places(places);
            out += ",\"";
            out += kind.traceKey;
            out += "s\":[";
            if (!places.empty()) out.append(places, 1);
            out += "]";
        }
    }
    out += "}";
    return out;
}

std::string JsonEscaped(const std::string& text) {
    std::string out;
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out;
}
