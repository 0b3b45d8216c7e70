#include "hostiles/kinds.h"

#include "hostiles/frag.h"
#include "hostiles/mine.h"
#include "hostiles/photon.h"
#include "hostiles/pulsar.h"
#include "hostiles/star.h"
#include "hostiles/tank.h"

namespace {

template <class T> TList& ListOfKind() { return ListOf<T>(); }
void OneStar() { CreateStars(-1, -1); }

// After a lost life the stars come back before the tanks, unlike at a level's start.
const HostileKind kKinds[] = {
    {"phot", ListOfKind<phot>, UpdatePhotons, RenderPhotons, nullptr, nullptr, 0, PhotonContacts,
     CapturePhotons, true, PhotonPlaces},
    {"tank", ListOfKind<tank>, UpdateTanks, RenderTanks, CreateTanks, &Difficulty::tanksperlevel, 2,
     TankContacts, CaptureTanks, true, TankPlaces},
    {"mine", ListOfKind<mine>, UpdateMines, RenderMines, nullptr, nullptr, 0, MineContacts,
     CaptureMines, true, MinePlaces},
    {"star", ListOfKind<star>, UpdateStars, RenderStars, OneStar, &Difficulty::starsperlevel, 1,
     StarContacts, CaptureStars, true, StarPlaces},
    {"pulsar", ListOfKind<pulsar>, UpdatePulsars, RenderPulsars, CreatePulsars,
     &Difficulty::pulsarsperlevel, 3, PulsarContacts, CapturePulsars, true, PulsarPlaces},
    // The point's burst when it dies: the death sequence moves and draws them.
    {"frag", ListOfKind<Frag>, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, false,
     nullptr},
};

} // namespace

std::span<const HostileKind> HostileKinds() { return kKinds; }

void ClearHostiles() {
    for (const HostileKind& kind : kKinds)
        if (kind.clearedWithLevel) kind.list().Clear();
}
