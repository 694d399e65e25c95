#include "TempDir.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

TTempDir::TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "cuemark-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    Root = pattern;
}

TTempDir::~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(Root, ec);
}
