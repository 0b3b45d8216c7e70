#include "board/play_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const char* TypeOf(const std::string& name) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {".html", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".wasm", "application/wasm"},
        {".data", "application/octet-stream"},
        {".css", "text/css; charset=utf-8"},
        {".json", "application/json"},
        {".webmanifest", "application/manifest+json"},
        {".png", "image/png"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".kvr", "text/plain; charset=utf-8"},
    };
    for (const auto& [ending, type] : kTypes)
        if (name.size() >= std::strlen(ending) &&
            name.compare(name.size() - std::strlen(ending), std::string::npos, ending) == 0)
            return type;
    return "application/octet-stream";
}

Reply NotFound() {
    Reply r;
    r.status = 404;
    r.body = "{\"error\":\"no such thing here\"}";
    return r;
}

} // namespace

bool PlayFiles::Open(const std::string& folder, std::string& error) {
    root_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (root_ < 0)
        error = errno == ELOOP || errno == ENOTDIR ? "it is not a folder (a link is not followed)"
                                                   : std::strerror(errno);
    return root_ >= 0;
}

// The regular file at `path` below the folder (a folder: its index.html), opened; -1 if none.
int PlayFiles::Find(const std::string& path, std::string& name, struct stat& st) const {
    // One name at a time, each opened without following a link.
    int at = ::dup(root_);
    for (size_t start = 0; at >= 0 && start <= path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        if (part == "." || part == ".." || part[0] == '.') {
            ::close(at);
            return -1;
        }
        const int next = ::openat(at, part.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        ::close(at);
        at = next;
        name = part;
    }
    if (at < 0) return -1;
    if (::fstat(at, &st) == 0 && S_ISDIR(st.st_mode)) {
        const int index =
            ::openat(at, "index.html", O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        ::close(at);
        at = index;
        name = "index.html";
        if (at < 0 || ::fstat(at, &st) != 0) {
            if (at >= 0) ::close(at);
            return -1;
        }
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(at);
        return -1;
    }
    return at;
}

Reply PlayFiles::Get(const std::string& path, bool gzipOk, const std::string& ifNoneMatch) const {
    std::string name;
    struct stat st {};
    int at = Find(path, name, st);
    if (at < 0) return NotFound();
    const std::string type = TypeOf(name);
    // The build keeps a gzip -9 copy beside each large file: sent instead to those who take it.
    bool gzipped = false;
    if (gzipOk) {
        std::string gzName;
        struct stat gz {};
        const std::string lastPart = path.substr(path.rfind('/') + 1);
        const std::string gzPath =
            lastPart == name
                ? path + ".gz"
                : (path.empty() || path.back() == '/' ? path : path + "/") + name + ".gz";
        const int z = Find(gzPath, gzName, gz);
        if (z >= 0) {
            ::close(at);
            at = z;
            st = gz;
            gzipped = true;
        }
    }
    char tag[64];
    std::snprintf(tag, sizeof tag, "\"%llx-%llx%s\"", static_cast<unsigned long long>(st.st_size),
                  static_cast<unsigned long long>(st.st_mtim.tv_sec) * 1000000000ull +
                      static_cast<unsigned long long>(st.st_mtim.tv_nsec),
                  gzipped ? "-gz" : "");
    Reply r;
    r.type = type;
    r.headers = {{"ETag", tag}, {"Cache-Control", "no-cache"}, {"Vary", "Accept-Encoding"}};
    if (gzipped) r.headers.emplace_back("Content-Encoding", "gzip");
    // Asked again with the copy it has: nothing to send but that it is still the one.
    if (!ifNoneMatch.empty() && ifNoneMatch.find(tag) != std::string::npos) {
        ::close(at);
        r.status = 304;
        return r;
    }
    r.file = at;
    r.fileSize = uint64_t(st.st_size);
    return r;
}
