#pragma once

#include <string>

// Reads a whole file as bytes, exactly as stored; on failure answers false with the error
// number in nError (0 when there is none).
bool ReadBytes(const char* pszPath, std::string& bytes, int& nError);

// Replaces the file whole with the bytes (a temporary file renamed over it), with the
// permissions any new file of the user gets; false, with errno set, when that fails.
bool WriteWholeFile(const std::string& strPath, const std::string& bytes);
