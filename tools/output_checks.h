// output_checks.h - making sure an output can be written before any work is spent on it.
//
// kalvorant-render may run for minutes before it writes its first file; a typo in an output path
// must show at once, not after the last frame. And an output path that names the input scene
// (the same file through another name, a link, or a hard link) would destroy the scene, so it is
// refused.
//
// These are checks, not guarantees: a disk can still fill up or a folder be removed while the
// frames are being rendered; the writers report those failures themselves.
//
// Failure: false with a one-line reason that names the path (quoted, see loader/quoted.h).
#pragma once

#include <string>

// True when both paths name one existing file: the same device and inode, or the same path
// once links are resolved.
bool same_file(const std::string& a, const std::string& b);

// path may be created or overwritten: it is not the input, not a folder, and either it exists
// and is writable or its folder exists and is writable.
bool check_output_file(const std::string& path, const std::string& input, std::string& error);

// dir exists (it is created, with its parents, when missing) and files can be made in it.
bool prepare_output_dir(const std::string& dir, std::string& error);
