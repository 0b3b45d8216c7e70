#include "board/daily.h"

#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "board/store.h"
#include "format/recording.h"

namespace {

std::string Hex(const unsigned char* bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < size; ++i) hex += {digits[bytes[i] >> 4], digits[bytes[i] & 15]};
    return hex;
}

} // namespace

std::string DayOf(int64_t unixSeconds) {
    const time_t t = time_t(unixSeconds);
    tm utc{};
    gmtime_r(&t, &utc);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday);
    return text;
}

std::optional<int64_t> DayStart(const std::string& day) {
    int64_t year = 0, month = 0, date = 0;
    if (day.size() != 10 || day[4] != '-' || day[7] != '-' ||
        !ParseWholeNumber(day.substr(0, 4), 2000, 9999, year) ||
        !ParseWholeNumber(day.substr(5, 2), 1, 12, month) ||
        !ParseWholeNumber(day.substr(8, 2), 1, 31, date))
        return std::nullopt;
    tm utc{};
    utc.tm_year = int(year - 1900);
    utc.tm_mon = int(month - 1);
    utc.tm_mday = int(date);
    const int64_t start = int64_t(timegm(&utc));
    if (DayOf(start) != day) return std::nullopt; // 2026-02-30 is no day
    return start;
}

std::string DailyFields::Key(const std::string& day) const {
    const std::string message = "koravel daily " + day + " rules " + std::to_string(kRulesVersion);
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    HMAC(EVP_sha256(), secret_.data(), int(secret_.size()),
         reinterpret_cast<const unsigned char*>(message.data()), message.size(), mac, &size);
    return Hex(mac, size);
}

std::string DailyFields::CommitmentOfKey(const std::string& key) { return Sha256Hex(key); }

int64_t DailyFields::SeedOfKey(const std::string& key) {
    return 1 + int64_t(std::stoull(key.substr(0, 8), nullptr, 16) % 2147483646u);
}

std::string DailyFields::DayOfSeed(int64_t seed, int64_t now) const {
    for (const int64_t when : {now, now - kDaySeconds})
        if (Seed(DayOf(when)) == seed) return DayOf(when);
    return "";
}

std::string RandomHex(size_t bytes) {
    std::string raw(bytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(raw.data()), int(bytes)) != 1)
        throw std::runtime_error("the system gave no random bytes");
    return Hex(reinterpret_cast<const unsigned char*>(raw.data()), bytes);
}
