#include "PosixJournal.h"

#include <cerrno>
#include <climits>
#include <cstdio>
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

std::string Hex(std::uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

// Read access for those who may write the audio file; never write access for others.
unsigned JournalMode(unsigned fileMode) {
    return 0600u | ((fileMode & 020u) ? 040u : 0u) | ((fileMode & 02u) ? 04u : 0u);
}

} // namespace

TPosixJournal::TPosixJournal(const std::string& path, const TPosixFileIo::TFacts& file)
    : File(file) {
    char resolved[PATH_MAX];
    const std::string target = ::realpath(path.c_str(), resolved) ? resolved : path;
    const std::string id = Hex(file.FileSystem) + "-" + std::to_string(file.Inode);
    Beside = FolderOf(target) + "/.cuemark-journal-" + id;
    if (const std::string state = StateFolder(); !state.empty())
        Fallback = state + "/journal-" + id;
}

bool TPosixJournal::CreateAt(const std::string& path) {
    const unsigned mode = JournalMode(File.Mode);
    if (!Io.Create(path, mode))
        return false;
    // The group of the audio file (best effort: a user may only give a group of their own),
    // and the mode whatever the umask.
    const int fd = Io.Descriptor();
    if (::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(File.Group)) != 0) {
        // Keeps the creator's group.
    }
    ::fchmod(fd, mode);
    Current = path;
    ReadOnly = false;
    return true;
}

TFileIo* TPosixJournal::Create() {
    Io.Close();
    if (CreateAt(Beside))
        return &Io;
    const int error = Io.OpenError();
    if (Fallback.empty() ||
        (error != EACCES && error != EPERM && error != EROFS && error != ENAMETOOLONG)) {
        errno = error;
        return nullptr;
    }
    if (!MakeFolders(FolderOf(Fallback)) || !CreateAt(Fallback))
        return nullptr;
    return &Io;
}

TFileIo* TPosixJournal::OpenExisting(std::string& refusal) {
    Io.Close();
    for (const std::string& candidate : {Beside, Fallback}) {
        if (candidate.empty())
            continue;
        const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
        int fd = ::open(candidate.c_str(), O_RDWR | flags);
        bool readOnly = false;
        if (fd < 0 && (errno == EACCES || errno == EROFS)) {
            fd = ::open(candidate.c_str(), O_RDONLY | flags);
            readOnly = true;
        }
        if (fd < 0 && errno == ENOENT)
            continue;
        if (fd < 0 && errno == EACCES) {
            refusal = "another user's unfinished save of this file cannot be completed: its "
                      "journal " +
                      candidate + " cannot be read";
            return nullptr;
        }
        struct stat st {};
        const bool trusted = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                             (st.st_uid == ::geteuid() || st.st_uid == File.Owner) &&
                             (st.st_mode & 022) == 0;
        if (!trusted) {
            if (fd >= 0)
                ::close(fd);
            refusal = "the save journal " + candidate +
                      " is not one this program can trust (another owner, writable by "
                      "others, or not a regular file): it is left alone and saves are refused";
            return nullptr;
        }
        Io.Adopt(fd);
        Current = candidate;
        ReadOnly = readOnly;
        return &Io;
    }
    return nullptr;
}

TFileIo* TPosixJournal::TakeOver(const std::string& bytes) {
    if (Current.empty())
        return nullptr;
    const std::string journal = Current;
    const std::string temporary =
        FolderOf(journal) + "/.cuemark-journal-new-" + std::to_string(::getpid());
    Io.Close();
    ::unlink(temporary.c_str());
    if (!CreateAt(temporary))
        return nullptr;
    if (!(Io.Write(0, bytes.data(), bytes.size()) && Io.Sync()) ||
        ::rename(temporary.c_str(), journal.c_str()) != 0) {
        Io.Close();
        ::unlink(temporary.c_str());
        Current = journal;
        return nullptr;
    }
    Current = journal;
    SyncFolder(FolderOf(journal));
    return &Io;
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
    Current.clear();
    return ok;
}

std::string TPosixJournal::Name() const {
    return Current.empty() ? Beside : Current;
}

} // namespace riffkit
