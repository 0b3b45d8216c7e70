// Before any test runs, the suite takes a home of its own in the build folder, so that no test
// ever reads or writes the player's real table or recordings.
#include <cstdlib>
#include <string>

namespace {

const bool kHomeTaken = [] {
    const std::string home = std::string(KORAVEL_BUILD_DIR) + "/test-home";
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    setenv("KORAVEL_TEST_HOME", home.c_str(), 1);
    return true;
}();

} // namespace
