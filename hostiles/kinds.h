// Every kind of hostile in one table: the one place a new kind is registered. The frame, the
// contacts, the captures, a new level, a lost life and the trace all walk it, in its order
// (which is the order their random draws and their sounds come in).
#pragma once
#include <span>
#include <string>

#include "entity/list.h"
#include "state/difficulty.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/world.h"

struct HostileKind {
    const char* traceKey; // its count in the trace; its places under traceKey + "s"
    TList& (*list)();
    void (*update)(); // a frame of play (null: moved elsewhere)
    void (*draw)();
    // One more, at a level's start (perLevel of them) and after a lost life (in respawnRank
    // order, 1 first); null or 0 for none.
    void (*spawn)();
    int Difficulty::*perLevel;
    int respawnRank;
    // How many of them touch the point this frame (each is a hit); null: harmless.
    int (*contact)(const HitBox& point);
    // Marks those inside the last closed loop as caught; null: never caught.
    void (*capture)();
    // Gone at a new level and after a lost life (fragments run out on their own).
    bool clearedWithLevel;
    // Adds ",[x,y]" for each one in play to a trace line (null: not traced by place).
    void (*places)(std::string& out);
};

std::span<const HostileKind> HostileKinds();

// Every hostile a new level or a lost life clears.
void ClearHostiles();

// The common cases, for the kinds' own files.
template <class List> int ContactsOf(const List& list, const HitBox& p, float half, int size) {
    int hits = 0;
    for (const auto& e : list)
        hits += e.caught == 0 && Touches(p, int(e.x - half), int(e.y - half), size, size);
    return hits;
}
template <class List> void CaptureIn(const List& list) {
    for (auto& e : list) {
        if (e.caught == 0 && InLoop(int(e.x), int(e.y))) {
            e.caught = 1;
            CurrentWorld().loop.g_numkilled++;
        }
    }
}
template <class List> void PlacesOf(const List& list, std::string& out) {
    for (const auto& e : list)
        out += ",[" + std::to_string(int(e.x)) + "," + std::to_string(int(e.y)) + "]";
}
