#include "engine/files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

std::string Slashed(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string FolderOf(const std::string& path) {
    const auto cut = path.find_last_of('/');
    return cut == std::string::npos ? "." : (cut == 0 ? "/" : path.substr(0, cut));
}

std::string NameOf(const std::string& path) {
    const auto cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Opens without waiting (a pipe would block a plain open for ever), then keeps the file only
// when it is a regular one.
int OpenRegular(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

Stream StreamOn(int fd, const char* mode, const std::string& path) {
    std::FILE* f = ::fdopen(fd, mode);
    if (!f) {
        ::close(fd);
        return nullptr;
    }
    auto s = std::make_shared<TStream>();
    s->file = f;
    s->path = path;
    return s;
}

// Temporary files of atomic writes not yet committed: a program that ends through exit()
// half-way through a write removes them, as a closed stream would.
std::mutex pendingLock;
std::set<std::string>& Pending() {
    static auto* pending = new std::set<std::string>; // outlives every static destructor
    return *pending;
}
void Forget(const std::string& temp) {
    const std::lock_guard<std::mutex> hold(pendingLock);
    Pending().erase(temp);
}
struct PendingSweeper {
    ~PendingSweeper() {
        const std::lock_guard<std::mutex> hold(pendingLock);
        for (const std::string& temp : Pending()) ::unlink(temp.c_str());
    }
} sweeper;

// New files get what the user's umask allows, as fopen would give them.
mode_t NewFileMode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(022);
        ::umask(mask);
        return mode_t(0666 & ~mask);
    }();
    return mode;
}

} // namespace

TStream::~TStream() {
    if (!file) return;
    std::fclose(file);
    if (!tempPath.empty()) { // never committed
        ::unlink(tempPath.c_str());
        Forget(tempPath);
    }
}

Stream OpenFile(const std::string& path, int readable, int writeable) {
    const std::string slashed = Slashed(path);
    if (readable && !writeable) {
        const int fd = OpenRegular(slashed, O_RDONLY);
        return fd < 0 ? nullptr : StreamOn(fd, "rb", slashed);
    }
    if (!writeable) return nullptr;
    // Writing never follows a link planted at the name.
    const int flags = O_NOFOLLOW | (readable ? O_RDWR : O_WRONLY | O_CREAT);
    const int fd = OpenRegular(slashed, flags);
    if (fd < 0) return nullptr;
    if (!readable && ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return nullptr;
    }
    return StreamOn(fd, readable ? "r+b" : "wb", slashed);
}

Stream ReadFile(const std::string& path) { return OpenFile(path, 1, 0); }

Stream ReadOwnFile(const std::string& path) {
    const std::string slashed = Slashed(path);
    const int fd = OpenRegular(slashed, O_RDONLY | O_NOFOLLOW);
    return fd < 0 ? nullptr : StreamOn(fd, "rb", slashed);
}

Stream WriteOutput(const std::string& path) {
    std::string target = Slashed(path);
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // The user named a link: what it points at is what they mean.
        std::error_code ec;
        const auto real = std::filesystem::weakly_canonical(target, ec);
        if (!ec) target = real.string();
    }
    if (::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return nullptr;
        }
        const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) return nullptr;
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return StreamOn(fd, "wb", target);
    }
    return WriteFileAtomic(target);
}
Stream WriteFile(const std::string& path) { return OpenFile(path, 0, 1); }

Stream WriteFileAtomic(const std::string& path) {
    const std::string slashed = Slashed(path);
    // A fresh name of our own (O_EXCL): two games saving at once never share it, and a link
    // planted beside the target is never written through.
    std::string temp = FolderOf(slashed) + "/." + NameOf(slashed) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat old {};
    const bool replacing = ::lstat(slashed.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    ::fchmod(fd, replacing ? old.st_mode & 07777 : NewFileMode());
    Stream s = StreamOn(fd, "wb", slashed);
    if (!s) {
        ::unlink(temp.c_str());
        return nullptr;
    }
    s->tempPath = temp;
    const std::lock_guard<std::mutex> hold(pendingLock);
    Pending().insert(temp);
    return s;
}

bool CloseFile(const Stream& stream) {
    if (!stream || !stream->file) return false;
    // Each step runs only while all before it went well; errno ends as the first failure's.
    auto step = [&](bool done) {
        if (!done && !stream->failed) stream->failed = true, stream->error = errno;
    };
    if (!stream->failed) step(std::fflush(stream->file) == 0);
    const bool atomic = !stream->tempPath.empty();
    if (atomic && !stream->failed) step(::fsync(::fileno(stream->file)) == 0);
    const bool closed = std::fclose(stream->file) == 0;
    stream->file = nullptr;
    if (!stream->failed) step(closed);
    if (atomic) {
        if (!stream->failed) step(std::rename(stream->tempPath.c_str(), stream->path.c_str()) == 0);
        if (stream->failed)
            ::unlink(stream->tempPath.c_str());
        else
            SyncFolder(FolderOf(stream->path));
        Forget(stream->tempPath);
        stream->tempPath.clear();
    }
    if (stream->failed) errno = stream->error;
    return !stream->failed;
}

std::string ReadLine(const Stream& stream, size_t maxLength) {
    std::string line;
    if (!stream || !stream->file) return line;
    for (int c; (c = std::getc(stream->file)) != EOF;) {
        if (c == 10 || c == 0) break;
        // A hostile file cannot make one line eat memory: the excess is skipped.
        if (c != 13 && line.size() < maxLength) line.push_back(char(c));
    }
    return line;
}

bool WriteBytes(const Stream& stream, const std::string& bytes) {
    if (!stream || !stream->file) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), stream->file) == bytes.size();
    if (!ok && !stream->failed) stream->failed = true, stream->error = errno ? errno : EIO;
    return ok;
}

bool WriteLine(const Stream& stream, const std::string& text) {
    return WriteBytes(stream, text) && WriteBytes(stream, "\r\n");
}

std::string UserDataPath(const std::string& relative) {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string base;
    if (xdg && *xdg == '/')
        base = xdg;
    else if (home && *home == '/')
        base = std::string(home) + "/.local/share";
    else
        return {};
    return base + "/koravel/" + relative;
}

std::string UserConfigPath(const std::string& relative) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (xdg && *xdg == '/') return std::string(xdg) + "/koravel/" + relative;
    if (home && *home == '/') return std::string(home) + "/.config/koravel/" + relative;
    return {};
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, size_t maxBytes,
                                                  FileKinds kinds) {
    Stream s = ReadFile(path);
    if (!s && errno == EINVAL && kinds == FileKinds::PipesToo) {
        struct stat st {};
        if (::stat(Slashed(path).c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
            const int fd = ::open(Slashed(path).c_str(), O_RDONLY | O_CLOEXEC);
            if (fd >= 0) s = StreamOn(fd, "rb", path);
        }
    }
    if (!s) return std::nullopt;
    std::vector<uint8_t> bytes;
    uint8_t buf[65536];
    for (size_t got; (got = std::fread(buf, 1, sizeof buf, s->file)) > 0;) {
        if (bytes.size() + got > maxBytes) {
            errno = EFBIG;
            return std::nullopt;
        }
        bytes.insert(bytes.end(), buf, buf + got);
    }
    if (std::ferror(s->file)) return std::nullopt;
    return bytes;
}

std::string ReadFailure(size_t maxBytes) {
    if (errno == EFBIG) return "larger than " + std::to_string(maxBytes >> 20) + " MiB";
    if (errno == EINVAL) return "not a regular file";
    if (errno == ELOOP) return "a link, which is not followed for this file";
    return std::strerror(errno);
}

bool MakeFolders(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) errno = ec.value();
    return !ec;
}

bool WriteWholeFileAtomic(const std::string& path, const std::string& bytes) {
    // Say why the folder could not be made (read-only, no permission), not that the file is
    // missing from it.
    if (!MakeFolders(FolderOf(Slashed(path)))) return false;
    Stream s = WriteFileAtomic(path);
    return s && WriteBytes(s, bytes) && CloseFile(s);
}

bool CanWriteIn(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::string probe = folder + "/.probe.XXXXXX";
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

std::string ProgramFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

bool EnterFolder(const std::string& path) {
    std::error_code ec;
    std::filesystem::current_path(path, ec);
    return !ec;
}

namespace {

// ".NAME.XXXXXX", as mkostemp fills in the six letters.
bool IsTemporaryOf(const std::string& entry, const std::string& name) {
    const size_t size = name.size() + 8;
    if (entry.size() != size || entry[0] != '.' || entry.compare(1, name.size(), name) != 0 ||
        entry[name.size() + 1] != '.')
        return false;
    return std::all_of(entry.end() - 6, entry.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

} // namespace

int RemoveStaleTemporaries(const std::string& folder, const std::vector<std::string>& names) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    const time_t stale = std::time(nullptr) - 60;
    int removed = 0;
    while (const dirent* d = ::readdir(dir)) {
        const std::string entry = d->d_name;
        if (std::none_of(names.begin(), names.end(),
                         [&](const std::string& n) { return IsTemporaryOf(entry, n); }))
            continue;
        const std::string path = folder + "/" + entry;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime < stale &&
            ::unlink(path.c_str()) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

std::optional<FileId> IdentifyFile(const std::string& path) {
    struct stat st {};
    if (::stat(Slashed(path).c_str(), &st) != 0) return std::nullopt;
    return FileId{uint64_t(st.st_dev), uint64_t(st.st_ino), int64_t(st.st_size),
                  int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

FolderLock::FolderLock(const std::string& folder) {
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    // Another game holds it only while it saves; one that never lets go is not waited for.
    for (int tries = 0; tries < 500; ++tries) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            held_ = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) return;
        const timespec pause{0, 10000000};
        ::nanosleep(&pause, nullptr);
    }
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_); // closing lets go of the lock
}
