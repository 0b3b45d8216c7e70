// Contact and capture: what kills the point, and what a closed loop catches.
#pragma once

// Whatever touches the point this frame kills it (a live bond snaps the point onto itself
// first); counts the nuclei still in play on the way.
void TestContacts();
// Marks everything inside the last loop as caught; its owners score it later.
void KillEm();
