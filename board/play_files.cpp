#include "board/play_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

Reply PlayFiles::Get(const std::string& path) const {
    // One name at a time, each opened without following a link.
    int at = ::dup(root_);
    std::string last;
    for (size_t start = 0; at >= 0 && start <= path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        if (name == "." || name == ".." || name[0] == '.') {
            ::close(at);
            return NotFound();
        }
        const int next = ::openat(at, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        ::close(at);
        at = next;
        last = name;
    }
    if (at < 0) return NotFound();
    struct stat st {};
    if (::fstat(at, &st) == 0 && S_ISDIR(st.st_mode)) {
        const int index =
            ::openat(at, "index.html", O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        ::close(at);
        at = index;
        last = "index.html";
        if (at < 0 || ::fstat(at, &st) != 0) {
            if (at >= 0) ::close(at);
            return NotFound();
        }
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(at);
        return NotFound();
    }
    Reply r;
    r.file = at;
    r.fileSize = uint64_t(st.st_size);
    r.type = TypeOf(last);
    return r;
}
