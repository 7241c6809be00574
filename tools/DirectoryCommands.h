#pragma once

// Commands of the list tool that work on the station directory lists.

// Loads the directory of the res folder the way the program does (no server search, no icons,
// no versions recorded) and prints one line per record in directory order: index, parent index
// (-1 at the top), type (1 station, 0 folder), caption, path and URL, separated by tabs; a
// station with request headers adds its user agent and referrer.
// Answers the exit status: 0, or 1 after a message on standard error.
int RunShow(const char* pszResFolder);

// Turns the plain lists of the source folder (ServerSettings.txt, MoviesSettings.txt, the
// category files it names and SearchSettings.txt, each with its VERSION) into their scrambled
// form in the output folder, with a plain UpdateSettings.txt that names each list and its
// version; EXE_UPDATE is added when both program values are given. Answers the exit status.
int RunPublish(const char* pszSourceFolder, const char* pszOutFolder, const char* pszExeVersion,
               const char* pszExeUrl);
