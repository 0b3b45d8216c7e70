// The field of each UTC day. Its seed comes from the board's secret, the date and the rules; the
// board publishes a commitment to it the day before (the SHA-256 of the day's key) and reveals
// the key once the day ends, so that anyone can check that the field was fixed in advance:
//   key        = HMAC-SHA256(secret, "koravel daily YYYY-MM-DD rules R"), as 64 hex digits
//   commitment = SHA-256 of those 64 characters, as hex
//   seed       = 1 + (the key's first 8 hex digits as a number) mod 2147483646
// (a seed the game's generator keeps as it is: from 1 to 2^31 - 2).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

constexpr int64_t kDaySeconds = 86400;

// "YYYY-MM-DD" of a Unix time, in UTC.
std::string DayOf(int64_t unixSeconds);
// The first second of a day written "YYYY-MM-DD" (years 2000 to 9999), or nothing for any
// other text.
std::optional<int64_t> DayStart(const std::string& day);

class DailyFields {
  public:
    explicit DailyFields(std::string secret) : secret_(std::move(secret)) {}
    std::string Key(const std::string& day) const;
    int64_t Seed(const std::string& day) const { return SeedOfKey(Key(day)); }
    std::string Commitment(const std::string& day) const { return CommitmentOfKey(Key(day)); }
    static std::string CommitmentOfKey(const std::string& key);
    static int64_t SeedOfKey(const std::string& key);
    // The day among `now`'s and the one before whose field `seed` is, or empty.
    std::string DayOfSeed(int64_t seed, int64_t now) const;

  private:
    std::string secret_;
};

// `bytes` random bytes from the system, as hex: the board's secret, an attempt's token.
std::string RandomHex(size_t bytes);
