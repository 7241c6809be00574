#pragma once

#include "net/Version.h"
#include "text/ArrayString.h"
#include "text/MyString.h"

#include <cstdint>

// One small operation per persistent value of the program; no state of its own, so any part may
// make one on the stack whenever it needs a value. A value that cannot be read gives its default.
class Settings
{
public:
    Settings() = default;
    Settings(const Settings&) = default;
    Settings& operator=(const Settings&) = default;
    virtual ~Settings() = default;

    // Versions of the lists, as text ("" when unknown).
    void SetSearchSettingsVersion(const CMyString& strVersion);
    CMyString GetSearchSettingsVersion();
    void SetMoviesSettingsVersion(const CMyString& strVersion);
    CMyString GetMoviesSettingsVersion();
    void SetServerSettingsVersion(const CMyString& strVersion);
    CMyString GetServerSettingsVersion();
    // The version of a category file, stored under the file's name exactly as written.
    void SetFileVersion(const CMyString& strFileName, const CMyString& strVersion);
    CMyString GetFileVersion(const CMyString& strFileName);
    void SetProgramVersion(const CMyString& strVersion);
    CMyString GetProgramVersion();
    // The recorded versions as CVersion: false when there is none (an empty list version counts
    // as none; an empty program version still answers true).
    bool GetSearchSettingsVersion(CVersion& version);
    bool GetMoviesSettingsVersion(CVersion& version);
    bool GetServerSettingsVersion(CVersion& version);
    bool GetFileVersion(const CMyString& strFileName, CVersion& version);
    bool GetProgramVersion(CVersion& version);

    // True unless "Copy Settings" is exactly "FALSE".
    bool IsCopySettings();
    void SetCopySettings(bool bCopy);
    // True only when "Install Needed" is exactly "TRUE".
    bool IsInstallNeeded();
    CMyString GetInstallPath();

    // The preset stations; a negative index reads "" and writes nothing.
    CMyString GetStationName(int32_t nIndex);
    void SetStationName(int32_t nIndex, const CMyString& strName);
    CMyString GetStationUrl(int32_t nIndex);
    void SetStationUrl(int32_t nIndex, const CMyString& strUrl);

    // 50 when absent, otherwise the leading decimal number of the text (0 when there is none).
    int32_t GetVolume();
    void SetVolume(int32_t nVolume);
    bool GetMute();
    void SetMute(bool bMute);

    // The executable of the user's default web browser, from "xdg-settings get
    // default-web-browser" and that desktop entry's Exec line; strBrowserExe is left as it was
    // when none is found.
    void DetectDefaultBrowser(CMyString& strBrowserExe);

    // $XDG_DATA_HOME/ORVANTA/ (default ~/.local/share/ORVANTA/), created when missing; empty when
    // the user has no data folder.
    CMyString GetDataFolder();
    // GetDataFolder() + "res/", created when missing.
    CMyString GetResFolder();
    // Where an icon fetched from that URL is kept: res folder + the flattened URL + ".gif".
    CMyString GetIconFilePath(const CMyString& strIconUrl);
    // The same below res folder + "CacheIcons/" (created when missing).
    CMyString GetCacheIconPath(const CMyString& strIconUrl);
    // The two parts of that path: the folder (created when missing) and the file name.
    CMyString GetCacheIconFolder();
    static CMyString GetCacheIconName(const CMyString& strIconUrl);

    // Appends the server URLs of the res folder's "ServerSettings.txt" (or, when that cannot be
    // read, of "res/ServerSettings.txt" in the current folder) and records its version.
    void GetServers(CArrayString& arrServers);

private:
    CMyString ReadText(const char* pszSubKey, const char* pszName, const char* pszDefault);
    void WriteText(const char* pszSubKey, const char* pszName, const CMyString& strText);
    // A value of a preset's key; a negative index reads "" and writes nothing.
    CMyString ReadStationValue(int32_t nIndex, const char* pszName);
    void WriteStationValue(int32_t nIndex, const char* pszName, const CMyString& strText);
};

// The server that every user of the server list takes: GetServers, then SelectServer.
CMyString FindFirstReachableServer(const CMyString& strFileName);
