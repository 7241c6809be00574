#pragma once

// The list tool's import of M3U playlists into plain list sources.

// Reads the playlist and writes its stations as the category file of the source folder (the
// file pszFileName when given, else the file the category already has, else one named after
// the category) with a new VERSION, and names the category in the folder's MoviesSettings.txt
// (made when missing, its VERSION raised when it changed), ready for publish. Prints what it
// wrote and what it skipped. Answers the exit status: 0, 1 after a message on standard error,
// 2 for a file name that cannot be used.
int RunImportM3u(const char* pszPlaylist, const char* pszSourceFolder, const char* pszCategory,
                 const char* pszFileName);
