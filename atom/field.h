// The inner field that nuclei, tanks, stars and pulsars move in, and how they are placed in it.
#pragma once

// A place 50 to 275 pixels left or right of the centre column and 50 to 235 above or below the
// centre row; the side of greater coordinates is taken 40 % of the time.
void PlaceOffCentre(float& px, float& py);
// A speed between low and high on each axis, each negative 60 % of the time.
void RandomVelocity(float& dx, float& dy, double low, double high);
// Bounce off the edges of 120 <= x < 680 and 60 <= y < 540: the velocity turns and the step is
// taken back once. Each returns whether it bounced.
bool BounceX(float& px, float& dx);
bool BounceY(float& py, float& dy);
// What a capture pays: doubled when the loop caught more than one particle.
int Award(int points);
