#include "PosixJournal.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace riffkit {

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

std::string StateFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return std::string(state) + "/cuemark";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::string(home) + "/.local/state/cuemark";
    return std::string();
}

// Creates the folder and its missing parents, private to the user.
bool MakeFolders(const std::string& folder) {
    for (std::size_t at = 1; at != std::string::npos;) {
        at = folder.find('/', at + 1);
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

} // namespace

TPosixJournal::TPosixJournal(const std::string& path, std::uint64_t device, std::uint64_t inode) {
    char resolved[PATH_MAX];
    const std::string target = ::realpath(path.c_str(), resolved) ? resolved : path;
    const std::size_t slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    Beside = FolderOf(target) + "/." + name + ".cuemark-journal";
    if (const std::string state = StateFolder(); !state.empty())
        Fallback = state + "/journal-" + std::to_string(device) + "-" + std::to_string(inode);
}

TFileIo* TPosixJournal::Create() {
    Io.Close();
    Current = Beside;
    if (Io.Create(Current))
        return &Io;
    const int error = Io.OpenError();
    if (Fallback.empty() || (error != EACCES && error != EPERM && error != EROFS))
        return nullptr;
    Current = Fallback;
    if (!MakeFolders(FolderOf(Fallback)) || !Io.Create(Current))
        return nullptr;
    return &Io;
}

TFileIo* TPosixJournal::OpenExisting() {
    Io.Close();
    for (const std::string& candidate : {Beside, Fallback}) {
        if (!Exists(candidate))
            continue;
        Current = candidate;
        // Read-only is enough to replay it; removing needs only the folder.
        if (Io.Open(Current, true) || Io.Open(Current, false))
            return &Io;
    }
    return nullptr;
}

bool TPosixJournal::MakeDurable() {
    return Io.IsOpen() && Io.Sync() && SyncFolder(FolderOf(Current));
}

bool TPosixJournal::Remove() {
    Io.Close();
    if (Current.empty())
        return true;
    const bool ok = ::unlink(Current.c_str()) == 0 || errno == ENOENT;
    SyncFolder(FolderOf(Current));
    return ok;
}

} // namespace riffkit
