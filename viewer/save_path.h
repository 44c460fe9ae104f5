// save_path.h - where S saves the viewer's picture: beside the open file when its folder may be
// written, else in the current folder, under the file's name with a number that no file there
// has yet ("horse-001.png", "horse-002.png", ...), so a save never replaces an earlier one.
//
// Ownership: plain strings; the two questions about the file system are asked through the
// callables, so the choice is tested without touching a disk. Failure: an empty result when
// every number up to 999 is taken.
#pragma once

#include <functional>
#include <string>

// scene_path: the open file ("" when none: the name is "kalvorant-view-NNN.png" in the current
// folder). writable(folder) says whether files can be made in folder ("" is the current one);
// exists(path) whether a file of that name exists.
std::string choose_save_path(const std::string& scene_path,
                             const std::function<bool(const std::string&)>& writable,
                             const std::function<bool(const std::string&)>& exists);

// The same against the real file system (access(2) for writing, a stat for existing names).
std::string choose_save_path(const std::string& scene_path);
