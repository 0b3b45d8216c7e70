// Photons: fired across the field through its centre.
#pragma once
#include <string>

#include "entity/list.h"
#include "state/point.h"

struct phot;
template <> KindList<phot>& ListOf<phot>(); // the World holds it

struct phot : Kind<phot> {
    float x = 0, y = 0, dx = 0, dy = 0;
    int caught = 0;
    int frame = 0; // 0..3: the triangle turns a quarter a frame
};

// The launch point for a player at (px, py): where the ray from the centre away from the player
// meets the border. False when the player stands on the centre, which gives no direction.
bool PhotonLaunchPoint(double px, double py, double& ex, double& ey);

bool CreatePhoton();
void UpdatePhotons();
void RenderPhotons();
// Their part in the table of kinds (hostiles/kinds.h): how many touch the point, the capture
// by the last loop, their places for the trace.
int PhotonContacts(const HitBox& p);
void CapturePhotons();
void PhotonPlaces(std::string& out);
