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

// "idle", "random" or "player"; nothing for an unknown name.
std::unique_ptr<Bot> MakeBot(const std::string& name, uint64_t seed);
