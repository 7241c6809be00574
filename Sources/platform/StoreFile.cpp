#include "platform/StoreFile.h"

#include "platform/TemporaryFile.h"
#include "platform/UserFolders.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{
// How long a writer waits for another writer before it gives up; a failed write is ignored by
// the callers, while a wait without end would freeze the window.
constexpr auto kLockPatience = std::chrono::seconds(5);

constexpr const char* kHeader =
    "# ORVANTA settings: [key path], then name=value lines; %XX stands for a byte that would\n"
    "# otherwise end a line or a name.\n";

struct StoreValue
{
    std::string name;
    std::string value;
};

struct StoreKey
{
    std::string path;
    std::vector<StoreValue> values;
};

using StoreContent = std::vector<StoreKey>;

// "SOFTWARE\ORVANTA\\Stations\" -> "SOFTWARE\ORVANTA\Stations": empty pieces go, as the
// registry's own paths have none.
std::string NormalizeKeyPath(std::string_view path)
{
    std::string result;
    for (char c : path)
    {
        if (c == '/')
            c = '\\';
        if (c == '\\' && (result.empty() || result.back() == '\\'))
            continue;
        result.push_back(c);
    }
    if (!result.empty() && result.back() == '\\')
        result.pop_back();
    return result;
}

// Bytes that would break the line structure, or be read as a separator, become %XX.
std::string Escape(std::string_view text, std::string_view special)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string result;
    for (const char c : text)
    {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%' || special.find(c) != special.npos)
        {
            result.push_back('%');
            result.push_back(kHex[byte >> 4]);
            result.push_back(kHex[byte & 0x0F]);
        }
        else
            result.push_back(c);
    }
    return result;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A "%" that does not start a valid escape is kept as it stands.
std::string Unescape(std::string_view text)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0)
        {
            const int nByte = HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]);
            if (nByte != 0)
                result.push_back(static_cast<char>(nByte));
            i += 2;
        }
        else
            result.push_back(text[i]);
    }
    return result;
}

// Lines that are neither a key, a value under a key, a comment nor blank are skipped.
StoreContent Parse(std::string_view text)
{
    StoreContent content;
    while (!text.empty())
    {
        const size_t uEnd = text.find('\n');
        std::string_view line = text.substr(0, uEnd);
        text.remove_prefix(uEnd == text.npos ? text.size() : uEnd + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[')
        {
            if (line.size() >= 2 && line.back() == ']')
                content.push_back(
                    {NormalizeKeyPath(Unescape(line.substr(1, line.size() - 2))), {}});
            continue;
        }
        const size_t uEquals = line.find('=');
        if (uEquals == line.npos || content.empty())
            continue;
        content.back().values.push_back(
            {Unescape(line.substr(0, uEquals)), Unescape(line.substr(uEquals + 1))});
    }
    return content;
}

std::string Format(const StoreContent& content)
{
    std::string text = kHeader;
    for (const StoreKey& key : content)
    {
        text += "\n[" + Escape(key.path, "[]") + "]\n";
        for (const StoreValue& value : key.values)
            text += Escape(value.name, "=[#") + "=" + Escape(value.value, "") + "\n";
    }
    return text;
}

StoreKey* FindKey(StoreContent& content, std::string_view path)
{
    // A key that a damaged file lists twice is read from its first listing.
    for (StoreKey& key : content)
    {
        if (IsEqualNoCaseAscii(key.path, path))
            return &key;
    }
    return nullptr;
}

// The whole file; a missing file is an empty store. 0 or errno.
int ReadAll(const CMyString& strPath, std::string& text)
{
    text.clear();
    if (strPath.IsEmpty())
        return ENOENT;
    const int nFd = open(strPath.GetBuffer(), O_RDONLY | O_CLOEXEC);
    if (nFd < 0)
        return errno == ENOENT ? 0 : errno;
    char block[8192];
    for (;;)
    {
        const ssize_t nRead = read(nFd, block, sizeof block);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead <= 0)
        {
            const int nError = nRead < 0 ? errno : 0;
            close(nFd);
            return nError;
        }
        text.append(block, static_cast<size_t>(nRead));
    }
}

// Holds the writers' lock of one store for as long as it lives.
class WriterLock
{
public:
    explicit WriterLock(const std::string& path)
        : m_nFd(open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        if (m_nFd < 0)
        {
            m_nError = errno;
            return;
        }
        const auto giveUp = std::chrono::steady_clock::now() + kLockPatience;
        while (flock(m_nFd, LOCK_EX | LOCK_NB) != 0)
        {
            if ((errno != EWOULDBLOCK && errno != EINTR) ||
                std::chrono::steady_clock::now() >= giveUp)
            {
                m_nError = errno == EINTR ? ETIMEDOUT : (errno == EWOULDBLOCK ? EBUSY : errno);
                close(m_nFd);
                m_nFd = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;
    ~WriterLock()
    {
        if (m_nFd >= 0)
            close(m_nFd); // closing the last descriptor releases the lock
    }
    int Error() const { return m_nError; }

private:
    int m_nFd;
    int m_nError = 0;
};

// Reads the store, lets `change` edit it, and replaces the file with the result: under the
// writers' lock, through a temporary file that is renamed over the store.
template <typename Change> int Rewrite(const CMyString& strPath, Change change)
{
    if (strPath.IsEmpty())
        return ENOENT;
    const std::string path(strPath.GetBuffer());
    const size_t uSlash = path.rfind('/');
    if (uSlash != std::string::npos &&
        !MakeFolders(CMyString(path.substr(0, uSlash).c_str()), 0700))
        return errno != 0 ? errno : EACCES;

    const WriterLock lock(path);
    if (lock.Error() != 0)
        return lock.Error();

    std::string text;
    if (const int nError = ReadAll(strPath, text); nError != 0)
        return nError;
    StoreContent content = Parse(text);
    if (!change(content))
        return 0;

    CTemporaryFile temporary(strPath);
    const std::string newText = Format(content);
    if (!temporary.IsOpen() ||
        !WriteAllBytes(temporary.GetDescriptor(), newText.data(), newText.size()) ||
        !temporary.Commit(true))
        return temporary.GetError() != 0 ? temporary.GetError() : EIO;
    return 0;
}
} // namespace

CStoreFile::CStoreFile() : m_strFilePath(DefaultFilePath()) {}

CStoreFile::CStoreFile(CMyString strFilePath) : m_strFilePath(std::move(strFilePath)) {}

CMyString CStoreFile::DefaultFilePath()
{
    CMyString strPath = XdgFolder("XDG_CONFIG_HOME", ".config");
    if (!strPath.IsEmpty())
        strPath.AppendPath(CMyString("ORVANTA/settings.ini"));
    return strPath;
}

int CStoreFile::ReadValue(const CMyString& strKeyPath, const CMyString& strName, bool bCreateKey,
                          CMyString& strValue) const
{
    std::string text;
    if (const int nError = ReadAll(m_strFilePath, text); nError != 0)
        return nError;
    const std::string keyPath =
        NormalizeKeyPath(strKeyPath.IsEmpty() ? "" : strKeyPath.GetBuffer());
    const std::string_view name = strName.IsEmpty() ? "" : strName.GetBuffer();

    StoreContent content = Parse(text);
    const StoreKey* pKey = FindKey(content, keyPath);
    if (pKey == nullptr)
    {
        if (!bCreateKey)
            return ENOENT;
        // Opening a missing key creates it, empty.
        const int nError = Rewrite(m_strFilePath,
                                   [&keyPath](StoreContent& current)
                                   {
                                       if (FindKey(current, keyPath) != nullptr)
                                           return false;
                                       current.push_back({keyPath, {}});
                                       return true;
                                   });
        return nError != 0 ? nError : ERROR_NO_MORE_ITEMS;
    }
    for (const StoreValue& value : pKey->values)
    {
        if (IsEqualNoCaseAscii(value.name, name))
        {
            strValue = CMyString(value.value.c_str());
            return 0;
        }
    }
    return ERROR_NO_MORE_ITEMS;
}

int CStoreFile::WriteValue(const CMyString& strKeyPath, const CMyString& strName,
                           const CMyString& strValue) const
{
    const std::string keyPath =
        NormalizeKeyPath(strKeyPath.IsEmpty() ? "" : strKeyPath.GetBuffer());
    const std::string name = strName.IsEmpty() ? "" : strName.GetBuffer();
    const std::string value = strValue.IsEmpty() ? "" : strValue.GetBuffer();
    return Rewrite(m_strFilePath,
                   [&](StoreContent& content)
                   {
                       StoreKey* pKey = FindKey(content, keyPath);
                       if (pKey == nullptr)
                       {
                           content.push_back({keyPath, {}});
                           pKey = &content.back();
                       }
                       for (StoreValue& stored : pKey->values)
                       {
                           if (IsEqualNoCaseAscii(stored.name, name))
                           {
                               stored.value = value;
                               return true;
                           }
                       }
                       pKey->values.push_back({name, value});
                       return true;
                   });
}

bool CStoreFile::KeyExists(const CMyString& strKeyPath) const
{
    std::string text;
    if (ReadAll(m_strFilePath, text) != 0)
        return false;
    StoreContent content = Parse(text);
    return FindKey(content, NormalizeKeyPath(strKeyPath.IsEmpty() ? "" : strKeyPath.GetBuffer())) !=
           nullptr;
}
