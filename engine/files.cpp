#include "engine/files.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
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

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

TStream::~TStream() {
    if (!file) return;
    std::fclose(file);
    if (!tempPath.empty()) std::remove(tempPath.c_str()); // never committed
}

Stream OpenFile(const std::string& path, int readable, int writeable) {
    const char* mode = readable && writeable ? "r+b" : writeable ? "wb" : readable ? "rb" : nullptr;
    if (!mode) return nullptr;
    const std::string slashed = Slashed(path);
    std::FILE* f = std::fopen(slashed.c_str(), mode);
    if (!f) return nullptr;
    auto s = std::make_shared<TStream>();
    s->file = f;
    s->path = slashed;
    return s;
}

Stream ReadFile(const std::string& path) { return OpenFile(path, 1, 0); }
Stream WriteFile(const std::string& path) { return OpenFile(path, 0, 1); }

Stream WriteFileAtomic(const std::string& path) {
    const std::string slashed = Slashed(path);
    const std::string temp = slashed + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return nullptr;
    auto s = std::make_shared<TStream>();
    s->file = f;
    s->path = slashed;
    s->tempPath = temp;
    return s;
}

bool CloseFile(const Stream& stream) {
    if (!stream || !stream->file) return false;
    bool ok = !stream->failed && std::fflush(stream->file) == 0;
    if (!stream->tempPath.empty()) {
        ok = ok && ::fsync(::fileno(stream->file)) == 0;
        ok = std::fclose(stream->file) == 0 && ok;
        stream->file = nullptr;
        if (ok) ok = std::rename(stream->tempPath.c_str(), stream->path.c_str()) == 0;
        if (ok)
            SyncFolder(FolderOf(stream->path));
        else
            std::remove(stream->tempPath.c_str());
        stream->tempPath.clear();
        return ok;
    }
    ok = std::fclose(stream->file) == 0 && ok;
    stream->file = nullptr;
    return ok;
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

bool WriteLine(const Stream& stream, const std::string& text) {
    if (!stream || !stream->file) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), stream->file) == text.size() &&
                    std::fwrite("\r\n", 1, 2, stream->file) == 2;
    if (!ok) stream->failed = true;
    return ok;
}

int32_t ReadInt(const Stream& stream) {
    uint8_t b[4] = {0, 0, 0, 0};
    if (stream && stream->file) (void)std::fread(b, 1, 4, stream->file);
    return int32_t(uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]);
}

std::string ReadString(const Stream& stream, int length) {
    std::string text;
    if (!stream || !stream->file || length <= 0) return text;
    // Read in pieces so a forged length costs no more memory than the file really holds.
    char buf[4096];
    while (int(text.size()) < length) {
        const size_t want = std::min(sizeof buf, size_t(length) - text.size());
        const size_t got = std::fread(buf, 1, want, stream->file);
        text.append(buf, got);
        if (got < want) break;
    }
    return text;
}

bool Eof(const Stream& stream) {
    if (!stream || !stream->file) return true;
    const int c = std::getc(stream->file);
    if (c == EOF) return true;
    std::ungetc(c, stream->file);
    return false;
}

std::string UserDataPath(const std::string& relative) {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string base;
    if (xdg && *xdg == '/')
        base = xdg;
    else if (home && *home)
        base = std::string(home) + "/.local/share";
    else
        return {};
    return base + "/koravel/" + relative;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, size_t maxBytes) {
    std::FILE* f = std::fopen(Slashed(path).c_str(), "rb");
    if (!f) return std::nullopt;
    std::vector<uint8_t> bytes;
    uint8_t buf[65536];
    bool tooBig = false;
    for (size_t got; (got = std::fread(buf, 1, sizeof buf, f)) > 0;) {
        if (bytes.size() + got > maxBytes) {
            tooBig = true;
            break;
        }
        bytes.insert(bytes.end(), buf, buf + got);
    }
    const bool err = std::ferror(f);
    std::fclose(f);
    if (tooBig || err) return std::nullopt;
    return bytes;
}
