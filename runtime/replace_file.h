// SPDX-License-Identifier: MIT
/// @file
/// Replacing a named file so that a failed write never leaves it half
/// written: the new content goes into a temporary file beside the real one,
/// which is renamed over it only once all was written and closed.
#pragma once

#include <functional>

#include "runtime/text.h"

namespace kit {

/// Symbolic links followed from a target before it is written directly; the
/// same bound Linux puts on the links of one path lookup.
inline constexpr int max_link_hops = 40;

/// Writes `target` through `write`, which is handed the path to create or
/// truncate, write and close, and says whether all of that succeeded.
///
/// The path is a temporary file ".NAME.XXXXXX" in the directory of the file
/// the target leads to (a symbolic link is followed, a dangling one to where
/// it points, so a link stays a link), with the permission bits of the file
/// it replaces (and its owner, where the process may give a file away), or
/// 0666 less the umask for a new one; it is renamed over that file when
/// `write` succeeds. The path is the target itself, written directly, when
/// the target exists and is not a regular file, has more than one hard link,
/// may not be written, or when no temporary file can be made beside it.
///
/// false when `write` gives false or the rename fails; the temporary file is
/// then removed and the earlier file left as it was (unless it was written
/// directly). Nothing is synced to the disk.
bool replace_file(const Text& target, const std::function<bool(const Text& path)>& write);

}  // namespace kit
