// Replacing a file's contents so that no reader ever sees a partial file and
// a failed write leaves the previous contents intact: the bytes go to a new
// file in the target's directory, are flushed to the disk, and that file is
// then renamed over the target in one step.
#pragma once

#include <string>
#include <string_view>

namespace vorn {

// Writes `bytes` as the new contents of the file at `path` (created when
// missing). A symbolic link is followed to the file it names, which is the
// one replaced; an existing file keeps its permission bits. A target that
// exists but is not a regular file (a device, a pipe) is written in place,
// as it cannot be renamed over; so is a writable file in a directory where
// no new file may be created (without the guarantees above). On any failure the temporary file is
// removed and FileAccessError carries the operating system's text.
void replace_file_contents(const std::string& path, std::string_view bytes);

}  // namespace vorn
