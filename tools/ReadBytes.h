#pragma once

#include <string>

// Reads a whole file as bytes, exactly as stored; on failure answers false with the error
// number in nError (0 when there is none).
bool ReadBytes(const char* pszPath, std::string& bytes, int& nError);
