// Players that drive koravel-sim through the same input a person has: after each presented
// frame a bot looks at the game and queues the events for the next one.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

class Bot {
  public:
    virtual ~Bot() = default;
    virtual void AfterFrame(uint64_t frame) = 0;
};

// "idle", "random" (a seeded fuzzer of the input), "player" (the sweeping autopilot),
// "player:N" (from level N), "bondrunner:N" (as player:N, then through the first live bond) or
// "hunter:N" (quick loops around one nucleus at a time, for high levels); nothing for an unknown
// name.
std::unique_ptr<Bot> MakeBot(const std::string& name, uint64_t seed);
