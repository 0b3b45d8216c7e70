// The autopilot for high levels: where the trail lasts too short for a loop around the field,
// it circles one nucleus at a time with a quick square, aimed at where the nucleus will be,
// and dodges in between. Loose electrons are left to fly off the screen, and a lone star is
// left to split.
#pragma once
#include <deque>
#include <utility>

class Hunter {
  public:
    // The pointer position for the next frame.
    std::pair<int, int> Step();
    // Out of play (a death, a new level): the loop under way is forgotten.
    void Reset() { path_.clear(); }

  private:
    bool PlanLoop();
    std::pair<int, int> Evade() const;

    std::deque<std::pair<int, int>> path_; // waypoints of the loop under way
    int soon_ = 0;                         // frames the rest of the loop takes
};
