// The browser build's page at /play: files beneath one folder and nothing else. No link is
// followed, inside the folder or out of it, and no path climbs out of it.
#pragma once
#include <sys/stat.h>

#include <string>

#include "board/front.h"

class PlayFiles {
  public:
    // False, with the reason, when the folder cannot be opened (or is a link).
    bool Open(const std::string& folder, std::string& error);
    bool Serving() const { return root_ >= 0; }
    // The file at `path` below the folder ("" or a folder: its index.html), with its ETag; its
    // gzip copy beside it when the client takes gzip; 304 when ifNoneMatch names it.
    Reply Get(const std::string& path, bool gzipOk = false,
              const std::string& ifNoneMatch = "") const;

  private:
    int Find(const std::string& path, std::string& name, struct stat& st) const;
    int root_ = -1;
};
