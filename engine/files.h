// Byte streams on files, line-oriented text, and whole-file helpers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct TStream {
    std::FILE* file = nullptr;
    std::string path;     // final name of an atomic write
    std::string tempPath; // where an atomic write goes until it is closed
    bool failed = false;  // a write failed: an atomic write is then discarded
    ~TStream();
};
using Stream = std::shared_ptr<TStream>;

// readable and writeable: update an existing file; writeable only: create or truncate.
Stream OpenFile(const std::string& path, int readable = 1, int writeable = 1);
Stream ReadFile(const std::string& path);
Stream WriteFile(const std::string& path);
// Like WriteFile, but the old file is replaced only when CloseFile has written everything,
// so a crash or a full disk never leaves a half-written file behind.
Stream WriteFileAtomic(const std::string& path);
// Returns false when the file could not be written completely.
bool CloseFile(const Stream& stream);

// Lines longer than maxLength bytes keep their first maxLength bytes; the rest is skipped.
constexpr size_t kMaxLine = 1048575;
std::string ReadLine(const Stream& stream, size_t maxLength = kMaxLine);
bool WriteLine(const Stream& stream, const std::string& text);
int32_t ReadInt(const Stream& stream);
std::string ReadString(const Stream& stream, int length);
bool Eof(const Stream& stream);

// A path in the user's data folder: $XDG_DATA_HOME/koravel/..., else ~/.local/share/koravel/...;
// empty when neither is known.
std::string UserDataPath(const std::string& relative);

// The whole file, or nothing when it is missing, unreadable or larger than maxBytes.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, size_t maxBytes);
