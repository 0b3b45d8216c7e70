// Byte streams on files, line-oriented text, and whole-file helpers.
//
// Reading opens regular files only, and never waits: a pipe or a device planted where a data
// file should be reads as missing. Writing never follows a link: an atomic write goes to a new,
// uniquely named file in the target's folder that is renamed over the target when complete.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TStream {
    std::FILE* file = nullptr;
    std::string path;     // final name of an atomic write
    std::string tempPath; // where an atomic write goes until it is closed
    bool failed = false;  // a write failed: an atomic write is then discarded
    int error = 0;        // errno of the first failure
    ~TStream();
};
using Stream = std::shared_ptr<TStream>;

// readable and writeable: update an existing file; writeable only: create or truncate.
Stream OpenFile(const std::string& path, int readable = 1, int writeable = 1);
// On failure errno says why (ENOENT: there is no such file; EINVAL: not a regular file).
Stream ReadFile(const std::string& path);
// A file the game writes itself, in a folder others may write to (the score table, the
// recordings): never read through a link planted at its name (errno ELOOP).
Stream ReadOwnFile(const std::string& path);
Stream WriteFile(const std::string& path);
// Like WriteFile, but the old file is replaced only when CloseFile has written everything,
// so a crash or a full disk never leaves a half-written file behind.
Stream WriteFileAtomic(const std::string& path);
// An output the user names (a trace, a picture, a recording): written atomically, unless the
// name is already something other than a regular file (a terminal, /dev/null, a pipe), which
// is written in place. A pipe nobody reads is refused at once (ENXIO) instead of waiting.
Stream WriteOutput(const std::string& path);
// Returns false when the file could not be written completely.
bool CloseFile(const Stream& stream);

// Lines longer than maxLength bytes keep their first maxLength bytes; the rest is skipped.
constexpr size_t kMaxLine = 1048575;
std::string ReadLine(const Stream& stream, size_t maxLength = kMaxLine);
bool WriteLine(const Stream& stream, const std::string& text);
// Every byte or nothing: a short write marks the stream failed.
bool WriteBytes(const Stream& stream, const std::string& bytes);

// A path in the user's data folder: $XDG_DATA_HOME/koravel/..., else ~/.local/share/koravel/...;
// empty when neither is known. Relative values are ignored, as the XDG rules say: they would
// put the user's files wherever the program happens to run.
std::string UserDataPath(const std::string& relative);
// The same in the user's configuration folder ($XDG_CONFIG_HOME/koravel/, else
// ~/.config/koravel/); empty when neither names an absolute path.
std::string UserConfigPath(const std::string& relative);

// The whole file, or nothing when it is missing, unreadable, not a regular file or larger than
// maxBytes. errno says why (EFBIG: too large). A file the user names on the command line may
// also be a pipe (`--input <(...)`), read until it ends.
enum class FileKinds { RegularOnly, PipesToo };
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, size_t maxBytes,
                                                  FileKinds kinds = FileKinds::RegularOnly);
// The bytes as text, without copying them.
inline std::string_view AsText(const std::vector<uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}
// Why ReadWholeFile failed just now, in a few words.
std::string ReadFailure(size_t maxBytes);
// Creates the folder and those above it; false (errno set) when it could not.
bool MakeFolders(const std::string& folder);
// Writes the whole file atomically, creating its folder; false (errno set) when it could not.
bool WriteWholeFileAtomic(const std::string& path, const std::string& bytes);

// Removes what killed saves left in the folder: files named ".NAME.XXXXXX" (the temporary
// names WriteFileAtomic gives) for the given names, older than a minute, so a save under way
// in another game is never touched. Returns how many were removed.
int RemoveStaleTemporaries(const std::string& folder, const std::vector<std::string>& names);
// Whether a new file can really be made in the folder, which is created when missing
// (permissions alone say nothing for root). Leaves nothing behind.
bool CanWriteIn(const std::string& folder);
// The folder holding the running program, or empty when it cannot be told.
std::string ProgramFolder();
// Whether the path is a folder; making it the current one.
bool IsFolder(const std::string& path);
bool EnterFolder(const std::string& path);

// What a path leads to (links followed): two names of one file match. Size and modification
// time too, so a file replaced under a reused inode does not.
struct FileId {
    uint64_t device = 0, inode = 0;
    int64_t size = 0, modified = 0;
    auto operator<=>(const FileId&) const = default;
};
std::optional<FileId> IdentifyFile(const std::string& path);

// Holds an exclusive lock on a folder while it lives, so that processes sharing a file in it
// take turns to read, merge and write it. Waits a few seconds at most, then goes ahead unlocked.
class FolderLock {
  public:
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool Held() const { return held_; }

  private:
    int fd_ = -1;
    bool held_ = false;
};
