// Linked into every test program: tests never read or write the user's tag cache. A test of
// the cache hands one in, or clears the variable before the code under test looks.
#include <cstdlib>

namespace {

const bool NoUserCache = [] {
    ::setenv("CUEMARK_NO_CACHE", "1", 0);
    return true;
}();

} // namespace
