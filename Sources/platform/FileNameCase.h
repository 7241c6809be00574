#pragma once

#include <string>

// The skin names its files with mixed case ("res/skin/" and "res/Skin/", ".gif" and ".Gif"), as
// if the file system ignored case. This finds the file that a path means on a file system that
// does not.

// The path of an existing file (not a folder) that strPath names: strPath itself when it exists
// as written, otherwise the path whose components each match strPath's ignoring ASCII case (the
// first match in folder order where several do). Empty when there is none. Relative paths are
// looked up from the current folder and stay relative.
std::string FindFileIgnoringCase(const std::string& strPath);
