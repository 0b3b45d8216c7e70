// The death sequence: the burst, a lost life, and a fresh start on the same level.
#pragma once

void KillPlayer();
