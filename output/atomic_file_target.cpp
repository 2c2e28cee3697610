#include "output/atomic_file_target.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace cvm {
namespace {

constexpr const char* kTempMarker = ".cvmtmp-";
// Longest file name most file systems take; the temporary's name must fit as well.
constexpr size_t kMaxFileNameBytes = 255;
// Room for the host name and the process id in a temporary's name: "-" and ten digits.
constexpr size_t kMaxHostBytes = 32;
constexpr size_t kPidBytes = 11;
// Temporaries of other machines (or of unknown origin) are removed once they are this old.
constexpr int64_t kForeignTemporaryAgeSeconds = 24 * 60 * 60;

// This machine's name as temporaries carry it: letters, digits, '.', '-' and '_' only.
std::string HostName() {
  char buffer[256] = {0};
#ifdef _WIN32
  DWORD size = sizeof buffer;
  if (!GetComputerNameA(buffer, &size)) buffer[0] = '\0';
#else
  if (gethostname(buffer, sizeof buffer - 1) != 0) buffer[0] = '\0';
#endif
  std::string host;
  for (const char* c = buffer; *c != '\0' && host.size() < kMaxHostBytes; ++c) {
    const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') ||
                       *c == '.' || *c == '-' || *c == '_';
    host.push_back(plain ? *c : '_');
  }
  return host.empty() ? std::string("host") : host;
}

// The part of a target's name that names its temporaries: the name itself, or its beginning
// when "." + name + marker + host + "-" + process id would not fit in a file name.
std::string TemporaryStem(const std::string& name) {
  const size_t room = kMaxFileNameBytes - 1 - std::strlen(kTempMarker) - kMaxHostBytes - kPidBytes;
  return "." + name.substr(0, room) + kTempMarker;
}

std::string SystemError(const char* what, const std::string& path) {
  return std::string(what) + " '" + path + "': " + std::strerror(errno);
}

// Splits a path into its folder (with the trailing separator, or empty) and its file name.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const size_t cut = path.find_last_of(
#ifdef _WIN32
      "/\\:"
#else
      "/"
#endif
  );
  if (cut == std::string::npos) return {std::string(), path};
  return {path.substr(0, cut + 1), path.substr(cut + 1)};
}

unsigned long CurrentProcessId() {
#ifdef _WIN32
  return static_cast<unsigned long>(GetCurrentProcessId());
#else
  return static_cast<unsigned long>(getpid());
#endif
}

bool ProcessIsRunning(unsigned long pid) {
#ifdef _WIN32
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  CloseHandle(process);
  return running;
#else
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#endif
}

// Seconds since the file was last changed, or -1 when it cannot be told.
int64_t AgeSeconds(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(std::time(nullptr)) - static_cast<int64_t>(st.st_mtime);
}

// Whether a temporary named stem + rest, left behind by some writer, may go: a dead process of
// this machine's, or anything older than a day (a process of another machine sharing the
// folder cannot be asked whether it runs).
bool IsStaleTemporary(const std::string& rest, const std::string& path, const std::string& host) {
  const size_t dash = rest.rfind('-');
  const std::string digits = dash == std::string::npos ? rest : rest.substr(dash + 1);
  if (digits.empty() || digits.size() >= kPidBytes ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    return false;
  if (dash != std::string::npos && rest.substr(0, dash) == host) {
    const unsigned long pid = std::stoul(digits);
    return pid != CurrentProcessId() && !ProcessIsRunning(pid);
  }
  return AgeSeconds(path) > kForeignTemporaryAgeSeconds;
}

// Removes temporaries of this target whose writer was killed before it could clean up.
void RemoveStaleTemporaries(const std::string& folder, const std::string& name) {
  const std::string prefix = TemporaryStem(name);
  const std::string host = HostName();
#ifdef _WIN32
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + prefix + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string entry = found.cFileName;
#else
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* e = readdir(dir)) {
    const std::string entry = e->d_name;
#endif
    if (entry.compare(0, prefix.size(), prefix) == 0 &&
        IsStaleTemporary(entry.substr(prefix.size()), folder + entry, host)) {
      std::remove((folder + entry).c_str());
    }
#ifdef _WIN32
  } while (FindNextFileA(search, &found));
  FindClose(search);
#else
  }
  closedir(dir);
#endif
}

// The file a path stands for: the path itself, or the file its symbolic links lead to (which
// need not exist yet). False, with error, for a loop of links.
bool ResolveLinks(const std::string& path, std::string& file, std::string& error) {
  file = path;
#ifndef _WIN32
  for (int hops = 0;; ++hops) {
    struct stat st;
    if (lstat(file.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    if (hops == 40) {
      error = "cannot write '" + path + "': too many levels of symbolic links";
      return false;
    }
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t length = readlink(file.c_str(), target.data(), target.size());
    if (length < 0) {
      error = SystemError("cannot read the link", path);
      return false;
    }
    target.resize(static_cast<size_t>(length));
    // A relative link is relative to the folder that holds it.
    file = target.compare(0, 1, "/") == 0 ? target : SplitPath(file).first + target;
  }
#else
  (void)error;
  return true;
#endif
}

// Makes a rename in folder durable: the folder's entry is written to the disk too.
bool SyncFolder(const std::string& folder) {
#ifdef _WIN32
  (void)folder;
  return true;  // MoveFileEx with MOVEFILE_WRITE_THROUGH has done it
#else
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
#endif
}

// An existing target without write permission is refused even where the process could
// replace it (a rename needs only the folder's permission, and root ignores modes).
bool IsReadOnlyFile(const std::string& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         (attributes & FILE_ATTRIBUTE_READONLY) != 0;
#else
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
#endif
}

// Gives the replacement the permissions of the file it replaces.
void CopyPermissions(const std::string& from, std::FILE* to) {
#ifdef _WIN32
  (void)from;
  (void)to;
#else
  struct stat st;
  if (stat(from.c_str(), &st) == 0 && S_ISREG(st.st_mode)) fchmod(fileno(to), st.st_mode & 07777);
#endif
}

bool ReplaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

AtomicFileTarget::AtomicFileTarget(std::string path) : path_(std::move(path)) {}

AtomicFileTarget::~AtomicFileTarget() {
  Abort();
}

std::string FileBehindLinks(const std::string& path) {
  std::string file;
  std::string error;
  return ResolveLinks(path, file, error) ? file : path;
}

std::string TemporaryPathFor(const std::string& file, unsigned long pid) {
  const auto [folder, name] = SplitPath(file);
  return folder + TemporaryStem(name) + HostName() + "-" + std::to_string(pid);
}

bool AtomicFileTarget::Open(std::string& error) {
  if (SplitPath(path_).second.empty()) {
    error = "cannot write '" + path_ + "': the path names a folder, not a file";
    return false;
  }
  if (!ResolveLinks(path_, filePath_, error)) return false;
  const auto [folder, name] = SplitPath(filePath_);
  if (name.empty()) {
    error = "cannot write '" + path_ + "': the link leads to a folder, not a file";
    return false;
  }
  if (IsReadOnlyFile(filePath_)) {
    error = "cannot write '" + path_ + "': the file is read-only";
    return false;
  }
  RemoveStaleTemporaries(folder, name);
  tempPath_ = TemporaryPathFor(filePath_, CurrentProcessId());
  file_ = std::fopen(tempPath_.c_str(), "wb");
  if (file_ == nullptr) {
    error = SystemError("cannot create a file in the folder of", path_);
    tempPath_.clear();
    return false;
  }
  // The stream hands over blocks of its own buffer: a second buffer here would only copy them.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  CopyPermissions(filePath_, file_);
  return true;
}

bool AtomicFileTarget::Append(const uint8_t* data, size_t size, std::string& error) {
  if (file_ == nullptr) {
    error = "cannot write '" + path_ + "': the file is not open";
    return false;
  }
  errno = 0;
  if (std::fwrite(data, 1, size, file_) != size) {
    error = SystemError("cannot write", path_);
    return false;
  }
  written_ += size;
#if defined(__linux__)
  // Start the disk writes of every few megabytes already written, without waiting for them:
  // they then go on while the rest is built, and Commit's sync has only the last ones to wait
  // for. A hint only; Commit's sync decides.
  constexpr uint64_t kWritebackStep = uint64_t{8} << 20;
  if (written_ - flushed_ >= kWritebackStep) {
    sync_file_range(fileno(file_), static_cast<off_t>(flushed_), static_cast<off_t>(written_ - flushed_),
                    SYNC_FILE_RANGE_WRITE);
    flushed_ = written_;
  }
#endif
  return true;
}

bool AtomicFileTarget::Commit(std::string& error) {
  if (file_ == nullptr) {
    error = "cannot write '" + path_ + "': the file is not open";
    return false;
  }
  errno = 0;
  bool ok = std::fflush(file_) == 0;
#ifdef _WIN32
  ok = ok && _commit(_fileno(file_)) == 0;
#else
  ok = ok && fsync(fileno(file_)) == 0;
#endif
  if (!ok) error = SystemError("cannot write", path_);
  const int closed = std::fclose(file_);
  file_ = nullptr;
  if (ok && closed != 0) {
    ok = false;
    error = SystemError("cannot write", path_);
  }
  if (ok && !ReplaceFile(tempPath_, filePath_)) {
    ok = false;
    error = SystemError("cannot replace", path_);
  }
  if (!ok) {
    std::remove(tempPath_.c_str());
    tempPath_.clear();
    return false;
  }
  tempPath_.clear();
  // The new file is in place; only its folder's entry may still be lost in a power cut.
  if (!SyncFolder(SplitPath(filePath_).first)) {
    error = SystemError("wrote the file but cannot sync the folder of", path_);
    return false;
  }
  return true;
}

void AtomicFileTarget::Abort() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!tempPath_.empty()) {
    std::remove(tempPath_.c_str());
    tempPath_.clear();
  }
}

bool WriteBytesAtomically(const std::string& path, const uint8_t* data, size_t size, std::string& error) {
  AtomicFileTarget target(path);
  if (!target.Open(error)) return false;
  if (!target.Sink().Append(data, size, error)) {
    target.Abort();
    return false;
  }
  return target.Commit(error);
}

}  // namespace cvm
