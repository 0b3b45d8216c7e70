#include "sim/identity.h"

#include <openssl/evp.h>

#include <cstdio>

#include "engine/rnd.h"

std::string GameIdentity(const Recording& recording, uint64_t endPoll) {
    EVP_MD_CTX* sha = EVP_MD_CTX_new();
    EVP_DigestInit_ex(sha, EVP_sha256(), nullptr);
    auto add = [&](const std::string& line) { EVP_DigestUpdate(sha, line.data(), line.size()); };
    add("seed " + std::to_string(KeptSeed(recording.seed)) + "\n");
    for (const ScriptEvent& e : recording.events) {
        if (*e.poll > endPoll) break; // polls only grow along a recording
        add(std::to_string(*e.poll) + " " + FormatEvent(e.event) + "\n");
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(sha, digest, &size);
    EVP_MD_CTX_free(sha);
    std::string hex;
    char two[3];
    for (unsigned int i = 0; i < size; ++i)
        std::snprintf(two, sizeof two, "%02x", digest[i]), hex += two;
    return hex;
}
