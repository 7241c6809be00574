#pragma once

// The tool's commands that show the search engines of a res folder, read as the program reads
// them (no icon is fetched and no setting is written).

// Prints one tab-separated line per engine: identifier, separator (1/0), caption, query
// template, placeholder and character set. 1 (with a message on standard error) when the
// folder holds no usable engine list.
int RunEngines(const char* pszResFolder);

// Prints the address that engine pszId builds for pszText; identifier 100, the station tree
// search, prints the text itself. 1 (with a message on standard error) for an unknown engine.
int RunQuery(const char* pszResFolder, const char* pszId, const char* pszText);
