// A game's whole mutable state in one value: every owner, every kind's list, the score table
// in memory, the art and sounds start-up binds, and the engine's side of the game (the
// generator, the pictures and polls counted, the input). Game code reaches it through
// CurrentWorld(); a program has one from its start, and a test may make more and take turns.
#pragma once
#include "engine/session.h"
#include "entity/list.h"
#include "state/art.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/game.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/points.h"
#include "state/scores.h"
#include "state/sounds.h"
#include "state/trail.h"

struct nuc;
struct elec;
struct bond;
struct phot;
struct tank;
struct mine;
struct star;
struct pulsar;
struct Frag;
struct digit;

struct World {
    World() = default;
    World(const World&) = delete; // a game is never copied by mistake (a lambda's [=], say)
    World& operator=(const World&) = delete;

    // What start-up loads and binds, and the table it reads.
    Art art;
    FontArt font;
    SoundHandles sfx;
    ScoreTable hiscores;
    // The game: its owners, then every kind's list.
    GameState game;
    PointState point;
    TrailState trail;
    LoopState loop;
    Difficulty difficulty;
    FieldState field;
    KindList<nuc> nuc_list;
    KindList<elec> elec_list;
    KindList<bond> bond_list;
    KindList<phot> phot_list;
    KindList<tank> tank_list;
    KindList<mine> mine_list;
    KindList<star> star_list;
    KindList<pulsar> pulsar_list;
    KindList<Frag> Frag_list;
    KindList<seg> seg_list;
    KindList<pnts> pnts_list;
    KindList<col> col_list;
    KindList<digit> digit_list;
    // The engine's side, bound with the World.
    EngineSession engine;
};

// The World the game is playing: the program's own unless UseWorld chose another.
World& CurrentWorld();
// Plays `world` from here on: its owners, its lists and its engine side.
void UseWorld(World& world);
// The current World as a program starts with it: everything gone, every owner at its first
// values. The engine's side carries over: a program's pictures and polls count from its start,
// and the generator and the events scheduled so far stay as they were.
void NewWorld();
