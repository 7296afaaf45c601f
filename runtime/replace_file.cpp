// SPDX-License-Identifier: MIT
#include "runtime/replace_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

namespace {

// Bytes asked for a link's text; a longer one is not followed.
constexpr std::size_t link_text_limit = PATH_MAX;
// What a new file may get before the umask: read and write for all, as fopen creates it.
constexpr mode_t new_file_bits = 0666;
// The bits a replaced file passes on: permissions, set-user-ID, set-group-ID, sticky.
constexpr mode_t carried_bits = 07777;

// The part of a path up to and including its last "/"; "" when it has none.
std::string directory_part(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The path a target leads to once its symbolic links are followed; "" when
// there are too many, one cannot be read, or the target is empty.
std::string follow_links(const std::string& target) {
  std::string path = target;
  std::vector<char> text(link_text_limit);
  for (int hops = 0; !path.empty(); ++hops) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    if (hops == max_link_hops) break;
    const ssize_t n = ::readlink(path.c_str(), text.data(), text.size());
    if (n <= 0 || static_cast<std::size_t>(n) == text.size()) break;
    const std::string to(text.data(), static_cast<std::size_t>(n));
    path = to.front() == '/' ? to : directory_part(path) + to;
  }
  return std::string();
}

// The umask can be read only by setting it; the programs run one thread.
mode_t new_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return new_file_bits & ~mask;
}

// A temporary file ready to be written and renamed over `real`.
struct Plan {
  std::string temporary;  // "" when the target is to be written directly
  std::string real;
};

// How the target is to be written: through a temporary file made here, or
// directly.
Plan plan_for(const std::string& target) {
  const std::string real = follow_links(target);
  if (real.empty()) return {};
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) return {};
  if (exists) {
    // A link of /proc/self/fd names no path that leads back to its file.
    struct stat found {};
    const bool same = ::lstat(real.c_str(), &found) == 0 && found.st_dev == existing.st_dev &&
                      found.st_ino == existing.st_ino;
    // A target that may not be written fails to open, as it always did.
    if (!same || !S_ISREG(existing.st_mode) || existing.st_nlink != 1 ||
        ::faccessat(AT_FDCWD, real.c_str(), W_OK, AT_EACCESS) != 0) {
      return {};
    }
  }
  const std::string directory = directory_part(real);
  std::string temporary = directory + "." + real.substr(directory.size()) + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return {};
  if (exists && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
    // Only root may give a file away; failing that, it becomes the writer's own.
    const int given = ::fchown(fd, existing.st_uid, existing.st_gid);
    static_cast<void>(given);
  }
  bool ready = ::fchmod(fd, exists ? existing.st_mode & carried_bits : new_file_mode()) == 0;
  ready = ::close(fd) == 0 && ready;
  if (!ready) {
    ::unlink(temporary.c_str());
    return {};
  }
  return {temporary, real};
}

}  // namespace

bool replace_file(const Text& target, const std::function<bool(const Text& path)>& write) {
  const Plan plan = plan_for(target.str());
  if (plan.temporary.empty()) return write(target);
  // Removed however the write ends, an exception (memory running out)
  // included, unless it became the file.
  struct Leftover {
    const std::string& path;
    bool renamed = false;
    ~Leftover() {
      if (!renamed) ::unlink(path.c_str());
    }
  } leftover{plan.temporary};
  leftover.renamed = write(Text(std::string_view(plan.temporary))) &&
                     ::rename(plan.temporary.c_str(), plan.real.c_str()) == 0;
  return leftover.renamed;
}

}  // namespace kit
