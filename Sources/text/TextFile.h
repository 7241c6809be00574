#pragma once

#include "text/MyString.h"

// Appends the content of a text file to strText, with CR LF line ends read as LF; the other
// bytes arrive unchanged. False when the file cannot be opened.
bool ReadTextFile(const CMyString& strPath, CMyString& strText);
