// Replacing a file's contents so that no reader ever sees a partial file and
// a failed write leaves the previous contents intact: the bytes go to a new
// file in the target's directory, are flushed to the disk, and that file is
// then renamed over the target in one step.
#pragma once

#include <string>
#include <string_view>

#include "common/stop_check.h"

namespace vorn {

// Writes `bytes` as the new contents of the file at `path` (created when
// missing). A symbolic link is followed to the file it names, which is the
// one replaced; an existing file keeps its permission bits. A target that
// exists but is not a regular file (a device, a pipe) is written in place,
// as it cannot be renamed over. A writable regular file in a directory where
// no new file may be created is rewritten in place too, in a way that puts
// the old contents back when the write fails or is stopped (a file that
// cannot be read is refused instead, naming the directory), and such
// rewrites by several savers take turns (an advisory lock); only a crash in
// the middle of one can leave a mix.
//
// The stop check is consulted between chunks of the write and whenever a
// signal interrupts a blocking call (which is then made again); a stop
// throws Stopped and leaves the target as it was. On any failure the
// temporary file is removed and FileAccessError carries the operating
// system's text. After a successful save, the temporary files that earlier
// saves of the same target left behind when their process was killed are
// removed.
void replace_file_contents(const std::string& path, std::string_view bytes, const StopCheck& stop = never_stop());

}  // namespace vorn
