// Private folders for tests' files: each new under the temporary folder, removed when the test
// process ends, so that tests running at once, or two runs on one host, never share one and
// nothing is left behind (KORAVEL_KEEP_TEST_DIRS keeps them to look at).
#pragma once
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

struct TestFolders {
    std::vector<std::filesystem::path> made;
    ~TestFolders() {
        if (std::getenv("KORAVEL_KEEP_TEST_DIRS")) return;
        std::error_code ec;
        for (const auto& dir : made) std::filesystem::remove_all(dir, ec);
    }
};

inline std::filesystem::path PrivateFolder(const std::string& name) {
    static TestFolders folders;
    std::string pattern =
        (std::filesystem::temp_directory_path() / ("koravel_" + name + ".XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make " + pattern);
    folders.made.emplace_back(pattern);
    return pattern;
}
