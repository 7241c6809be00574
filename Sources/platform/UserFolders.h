#pragma once

#include "text/MyString.h"

// The user's home folder: $HOME, or the password database's entry; empty when there is none.
CMyString HomeFolder();

// An XDG base folder without a trailing separator: the variable's value when it is an absolute
// path, otherwise the home folder + "/" + pszBelowHome (such as ".config"); empty when there is
// no home folder either.
CMyString XdgFolder(const char* pszVariable, const char* pszBelowHome);

// Creates a folder and every missing parent with the given mode; true when it exists afterwards.
bool MakeFolders(const CMyString& strFolder, unsigned uMode);
