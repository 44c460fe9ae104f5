// output_file.h - cleaning up after an output file that could not be written in full.
//
// Only a regular file is removed: the path may name a device or a pipe (a user writing to
// /dev/stdout, say), which must never be unlinked. Failure to remove is ignored; the caller is
// already reporting the write error that matters.
#pragma once

#include <string>

void remove_partial_file(const std::string& path);
