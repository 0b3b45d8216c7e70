// A game's whole mutable state in one value: every owner, every kind's list, the score table
// in memory, and the art and sounds start-up binds. Start-up builds it anew (NewWorld), and so
// does a test that wants a fresh game; every name the game uses (game, point, nuc_list,
// hiscores, ...) is bound to its part for as long as the program runs.
#pragma once
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
};

// The world as a program starts with it: everything gone, every owner at its first values.
void NewWorld();
