#include "config/Settings.h"

#include "config/FileHandler.h"
#include "config/RegClass.h"
#include "config/ServerList.h"
#include "platform/ProgramOutput.h"
#include "platform/UserFolders.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

namespace
{
constexpr const char* kProgramKey = "SOFTWARE\\ORVANTA";
constexpr const char* kStationsKey = "SOFTWARE\\ORVANTA\\Stations";
constexpr const char* kTrue = "TRUE";
constexpr const char* kFalse = "FALSE";

// How long the desktop's browser query may take before start-up goes on without it.
constexpr int kBrowserQueryTimeoutMs = 3000;

bool IsText(const CMyString& strValue, const char* pszText)
{
    return strValue.IsEqual(CMyString(pszText));
}

// Longest flattened name kept as it is, and how much of a longer one is kept before its hash:
// file systems refuse names over 255 bytes, and icon URLs with query strings get long.
constexpr uint32_t kMaxIconNameLength = 120;
constexpr uint32_t kKeptIconNameLength = 100;

// An icon URL as one file name: each of \ / : . , ? < > ] [ } { becomes "_". A name longer than
// kMaxIconNameLength keeps its start (not cut inside a UTF-8 character) followed by "_" and the
// 64-bit FNV-1a hash of the whole URL, so different URLs still give different names.
CMyString FlattenIconUrl(const CMyString& strUrl)
{
    CMyString strName(strUrl);
    for (const char* pszCharacter : {"\\", "/", ":", ".", ",", "?", "<", ">", "]", "[", "}", "{"})
        strName.Replace(pszCharacter, "_");
    if (strName.GetLength() <= kMaxIconNameLength)
        return strName;

    uint64_t uHash = 0xcbf29ce484222325ull;
    for (uint32_t i = 0; i < strUrl.GetLength(); ++i)
    {
        uHash ^= static_cast<unsigned char>(strUrl.GetBuffer()[i]);
        uHash *= 0x100000001b3ull;
    }
    uint32_t uKept = kKeptIconNameLength;
    while (uKept > 0 && (static_cast<unsigned char>(strName.GetBuffer()[uKept]) & 0xC0) == 0x80)
        --uKept;
    CMyString strShort(strName.GetBuffer(), uKept);
    char szHash[24];
    std::snprintf(szHash, sizeof szHash, "_%016llx", static_cast<unsigned long long>(uHash));
    strShort += szHash;
    return strShort;
}

// The first word of a desktop entry's Exec line: the program, with the quoting of desktop
// entries undone; "env" and its VAR=value words are looked through.
std::string ProgramOfExecLine(std::string_view exec)
{
    std::vector<std::string> words;
    std::string word;
    bool bQuoted = false;
    bool bInWord = false;
    for (size_t i = 0; i < exec.size(); ++i)
    {
        const char c = exec[i];
        if (bQuoted && c == '\\' && i + 1 < exec.size())
        {
            word.push_back(exec[++i]);
            continue;
        }
        if (c == '"')
        {
            bQuoted = !bQuoted;
            bInWord = true;
            continue;
        }
        if (!bQuoted && (c == ' ' || c == '\t'))
        {
            if (bInWord)
                words.push_back(word);
            word.clear();
            bInWord = false;
            continue;
        }
        word.push_back(c);
        bInWord = true;
    }
    if (bInWord)
        words.push_back(word);

    size_t uFirst = 0;
    if (uFirst < words.size() && words[uFirst] == "env")
    {
        ++uFirst;
        while (uFirst < words.size() && words[uFirst].find('=') != std::string::npos)
            ++uFirst;
    }
    return uFirst < words.size() ? words[uFirst] : std::string();
}

// The Exec program of a desktop entry found in the XDG data folders; empty when there is none.
std::string ProgramOfDesktopEntry(const std::string& desktopId)
{
    std::vector<std::string> folders;
    const CMyString strDataHome = XdgFolder("XDG_DATA_HOME", ".local/share");
    if (!strDataHome.IsEmpty())
        folders.emplace_back(strDataHome.GetBuffer());
    const char* pszDataDirs = std::getenv("XDG_DATA_DIRS");
    std::string_view dataDirs = pszDataDirs != nullptr && *pszDataDirs != '\0'
                                    ? pszDataDirs
                                    : "/usr/local/share:/usr/share";
    while (!dataDirs.empty())
    {
        const size_t uColon = dataDirs.find(':');
        const std::string_view folder = dataDirs.substr(0, uColon);
        if (!folder.empty() && folder.front() == '/')
            folders.emplace_back(folder);
        dataDirs.remove_prefix(uColon == dataDirs.npos ? dataDirs.size() : uColon + 1);
    }

    for (const std::string& folder : folders)
    {
        std::ifstream entry(folder + "/applications/" + desktopId);
        bool bInMainGroup = false;
        for (std::string line; std::getline(entry, line);)
        {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty() && line.front() == '[')
                bInMainGroup = line == "[Desktop Entry]";
            else if (bInMainGroup && line.rfind("Exec=", 0) == 0)
                return ProgramOfExecLine(std::string_view(line).substr(5));
        }
    }
    return std::string();
}
} // namespace

CMyString Settings::ReadText(const char* pszSubKey, const char* pszName, const char* pszDefault)
{
    RegClass registry(RegHive::CurrentUser, kProgramKey);
    CMyString strValue;
    return registry.ReadValue(pszSubKey, pszName, strValue) == 0 ? strValue : CMyString(pszDefault);
}

void Settings::WriteText(const char* pszSubKey, const char* pszName, const CMyString& strText)
{
    RegClass registry(RegHive::CurrentUser, kProgramKey);
    registry.WriteValue(pszSubKey, pszName, strText.IsEmpty() ? "" : strText.GetBuffer());
}

// ---------------------------------------------------------------------------------------------
// Versions

void Settings::SetSearchSettingsVersion(const CMyString& strVersion)
{
    WriteText("", "Search Settings", strVersion);
}

CMyString Settings::GetSearchSettingsVersion()
{
    return ReadText("", "Search Settings", "");
}

void Settings::SetMoviesSettingsVersion(const CMyString& strVersion)
{
    WriteText("", "Movies Settings", strVersion);
}

CMyString Settings::GetMoviesSettingsVersion()
{
    return ReadText("", "Movies Settings", "");
}

void Settings::SetServerSettingsVersion(const CMyString& strVersion)
{
    WriteText("", "Server Settings", strVersion);
}

CMyString Settings::GetServerSettingsVersion()
{
    return ReadText("", "Server Settings", "");
}

void Settings::SetFileVersion(const CMyString& strFileName, const CMyString& strVersion)
{
    if (!strFileName.IsEmpty())
        WriteText("", strFileName.GetBuffer(), strVersion);
}

CMyString Settings::GetFileVersion(const CMyString& strFileName)
{
    return strFileName.IsEmpty() ? CMyString() : ReadText("", strFileName.GetBuffer(), "");
}

void Settings::SetProgramVersion(const CMyString& strVersion)
{
    WriteText("", "Version", strVersion);
}

CMyString Settings::GetProgramVersion()
{
    return ReadText("", "Version", "");
}

namespace
{
// A recorded list version: none when the text is empty.
bool ToVersion(const CMyString& strText, CVersion& version)
{
    if (strText.IsEmpty())
        return false;
    version.SetVersion(strText);
    return true;
}
} // namespace

bool Settings::GetSearchSettingsVersion(CVersion& version)
{
    return ToVersion(GetSearchSettingsVersion(), version);
}

bool Settings::GetMoviesSettingsVersion(CVersion& version)
{
    return ToVersion(GetMoviesSettingsVersion(), version);
}

bool Settings::GetServerSettingsVersion(CVersion& version)
{
    return ToVersion(GetServerSettingsVersion(), version);
}

bool Settings::GetFileVersion(const CMyString& strFileName, CVersion& version)
{
    return ToVersion(GetFileVersion(strFileName), version);
}

bool Settings::GetProgramVersion(CVersion& version)
{
    // Unlike the lists, a stored but empty program version still counts as read.
    RegClass registry(RegHive::CurrentUser, kProgramKey);
    CMyString strText;
    if (registry.ReadValue("", "Version", strText) != 0)
        return false;
    version.SetVersion(strText);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Flags, install path, presets, volume

bool Settings::IsCopySettings()
{
    return !IsText(ReadText("", "Copy Settings", kTrue), kFalse);
}

void Settings::SetCopySettings(bool bCopy)
{
    WriteText("", "Copy Settings", bCopy ? kTrue : kFalse);
}

bool Settings::IsInstallNeeded()
{
    return IsText(ReadText("", "Install Needed", kFalse), kTrue);
}

CMyString Settings::GetInstallPath()
{
    return ReadText("", "Install Path", "");
}

CMyString Settings::ReadStationValue(int32_t nIndex, const char* pszName)
{
    CMyString strValue;
    if (nIndex >= 0)
        RegClass(RegHive::CurrentUser, kStationsKey)
            .ReadValue(std::to_string(nIndex).c_str(), pszName, strValue);
    return strValue;
}

void Settings::WriteStationValue(int32_t nIndex, const char* pszName, const CMyString& strText)
{
    if (nIndex >= 0)
        RegClass(RegHive::CurrentUser, kStationsKey)
            .WriteValue(std::to_string(nIndex).c_str(), pszName,
                        strText.IsEmpty() ? "" : strText.GetBuffer());
}

CMyString Settings::GetStationName(int32_t nIndex)
{
    return ReadStationValue(nIndex, "Name");
}

void Settings::SetStationName(int32_t nIndex, const CMyString& strName)
{
    WriteStationValue(nIndex, "Name", strName);
}

CMyString Settings::GetStationUrl(int32_t nIndex)
{
    return ReadStationValue(nIndex, "Url");
}

void Settings::SetStationUrl(int32_t nIndex, const CMyString& strUrl)
{
    WriteStationValue(nIndex, "Url", strUrl);
}

int32_t Settings::GetVolume()
{
    RegClass registry(RegHive::CurrentUser, kProgramKey);
    CMyString strVolume;
    return registry.ReadValue("", "Volume", strVolume) == 0 ? strVolume.ToInt() : 50;
}

void Settings::SetVolume(int32_t nVolume)
{
    WriteText("", "Volume", CMyString(std::to_string(nVolume).c_str()));
}

bool Settings::GetMute()
{
    return IsText(ReadText("", "Mute", kFalse), kTrue);
}

void Settings::SetMute(bool bMute)
{
    WriteText("", "Mute", bMute ? kTrue : kFalse);
}

void Settings::DetectDefaultBrowser(CMyString& strBrowserExe)
{
    std::string desktopId;
    if (!CaptureProgramOutput(CMyString("xdg-settings"),
                              {CMyString("get"), CMyString("default-web-browser")},
                              kBrowserQueryTimeoutMs, desktopId))
        return;
    while (!desktopId.empty() &&
           (desktopId.back() == '\n' || desktopId.back() == '\r' || desktopId.back() == ' '))
        desktopId.pop_back();
    // A desktop entry id is a plain file name.
    if (desktopId.empty() || desktopId.find('/') != std::string::npos ||
        desktopId.find('\n') != std::string::npos)
        return;
    const std::string program = ProgramOfDesktopEntry(desktopId);
    if (!program.empty())
        strBrowserExe = CMyString(program.c_str());
}

// ---------------------------------------------------------------------------------------------
// Data folder

CMyString Settings::GetDataFolder()
{
    CMyString strFolder = XdgFolder("XDG_DATA_HOME", ".local/share");
    if (strFolder.IsEmpty())
        return strFolder;
    strFolder.AppendPath(CMyString("ORVANTA/"));
    CFileHandler().CreateFolderPath(strFolder);
    return strFolder;
}

CMyString Settings::GetResFolder()
{
    CMyString strFolder = GetDataFolder();
    strFolder += "res/";
    CFileHandler().CreateFolderPath(strFolder);
    return strFolder;
}

CMyString Settings::GetIconFilePath(const CMyString& strIconUrl)
{
    CMyString strPath = GetResFolder();
    strPath += GetCacheIconName(strIconUrl);
    return strPath;
}

CMyString Settings::GetCacheIconPath(const CMyString& strIconUrl)
{
    CMyString strPath = GetCacheIconFolder();
    strPath += GetCacheIconName(strIconUrl);
    return strPath;
}

CMyString Settings::GetCacheIconFolder()
{
    CMyString strFolder = GetResFolder();
    strFolder += "CacheIcons/";
    CFileHandler().CreateFolderPath(strFolder);
    return strFolder;
}

CMyString Settings::GetCacheIconName(const CMyString& strIconUrl)
{
    CMyString strName = FlattenIconUrl(strIconUrl);
    strName += ".gif";
    return strName;
}

// ---------------------------------------------------------------------------------------------
// Server list

void Settings::GetServers(CArrayString& arrServers)
{
    CFileHandler fileHandler;
    CMyString strText;
    CMyString strPath = GetResFolder();
    strPath += SERVER_SETTINGS_FILE;
    if (!fileHandler.ReadScrambledFile(strPath, strText))
    {
        // The installed first copy, relative to the current folder.
        CMyString strInstalled("res/");
        strInstalled += SERVER_SETTINGS_FILE;
        if (!fileHandler.ReadScrambledFile(strInstalled, strText))
            return;
    }
    CMyString strVersion;
    bool bHasVersion = false;
    if (ParseServerList(strText, arrServers, strVersion, &bHasVersion) && bHasVersion)
        SetServerSettingsVersion(strVersion);
}

CMyString FindFirstReachableServer(const CMyString& strFileName)
{
    CArrayString arrServers;
    Settings().GetServers(arrServers);
    return SelectServer(arrServers, strFileName);
}
