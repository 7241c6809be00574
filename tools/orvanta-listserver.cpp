// orvanta-listserver: serves one folder over HTTP so that the program can be tried against a list
// server on this machine: the published lists, the pages, the pictures and the demo channels.
// Answers GET and HEAD (with byte ranges, which media players ask for), refuses every path that
// would leave the folder, and logs one line per request to standard error.

#include <httplib.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

const char* const TOOL_NAME = "orvanta-listserver";
// The port the demo server list names; chosen from the unassigned range, far from common
// development servers.
const int DEFAULT_PORT = 8719;
const char* const DEFAULT_BIND = "127.0.0.1";
// Bytes handed to the connection per read of a served file.
const size_t CHUNK_SIZE = 64 * 1024;

enum ExitStatus
{
    EXIT_DONE = 0,
    EXIT_FAILED = 1,
    EXIT_USAGE = 2
};

void PrintUsage(std::FILE* pOut)
{
    std::fprintf(pOut,
                 "Usage: %s [--port N] [--bind ADDRESS] FOLDER\n\n"
                 "Serves the files of FOLDER over HTTP (GET and HEAD, byte ranges) and logs one\n"
                 "line per request to standard error: time, method, path, User-Agent, status.\n\n"
                 "  --port N        port to listen on (default %d; 0 picks a free port)\n"
                 "  --bind ADDRESS  address to listen on (default %s)\n\n"
                 "Prints the URL it serves at, then runs until interrupted. A folder asked for\n"
                 "is answered with its index.html or index.htm. Exit status: 0 after an\n"
                 "interrupt, 1 when the port cannot be taken, 2 for a wrong command line.\n",
                 TOOL_NAME, DEFAULT_PORT, DEFAULT_BIND);
}

// The file name's extension in lower case, with its dot.
std::string Extension(const fs::path& path)
{
    std::string strExtension = path.extension().string();
    for (char& c : strExtension)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return strExtension;
}

const char* ContentType(const fs::path& path)
{
    struct SType
    {
        const char* pszExtension;
        const char* pszType;
    };
    static const SType TYPES[] = {
        {".html", "text/html; charset=utf-8"},
        {".htm", "text/html; charset=utf-8"},
        {".txt", "text/plain; charset=utf-8"},
        {".xml", "text/xml; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".json", "application/json"},
        {".gif", "image/gif"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".m3u8", "application/vnd.apple.mpegurl"},
        {".m3u", "audio/x-mpegurl"},
        {".ts", "video/mp2t"},
        {".m4s", "video/iso.segment"},
        {".mp4", "video/mp4"},
        {".mp3", "audio/mpeg"},
        {".aac", "audio/aac"},
        {".webm", "video/webm"},
    };
    const std::string strExtension = Extension(path);
    for (const SType& type : TYPES)
        if (strExtension == type.pszExtension)
            return type.pszType;
    return "application/octet-stream";
}

// A text as one log field: bytes outside printable ASCII, blanks and quotes as %XX, so that a
// hostile path or agent can neither break the line nor fake another field.
std::string LogField(const std::string& strText)
{
    static const char HEX[] = "0123456789ABCDEF";
    std::string strField;
    for (const char c : strText)
    {
        const auto uByte = static_cast<unsigned char>(c);
        if (uByte <= 0x20 || uByte >= 0x7F || c == '"' || c == '%')
        {
            strField += '%';
            strField += HEX[uByte >> 4];
            strField += HEX[uByte & 0x0F];
        }
        else
            strField += c;
    }
    return strField;
}

void LogRequest(const httplib::Request& request, const httplib::Response& response)
{
    const std::time_t now = std::time(nullptr);
    std::tm local = {};
    char szTime[16] = "";
    if (localtime_r(&now, &local) != nullptr)
        std::strftime(szTime, sizeof szTime, "%H:%M:%S", &local);
    // One call per line: standard error is unbuffered and the call holds the stream's lock, so
    // lines of parallel requests never mix.
    std::fprintf(stderr, "%s %s %s \"%s\" %d\n", szTime, LogField(request.method).c_str(),
                 LogField(request.path).c_str(),
                 LogField(request.get_header_value("User-Agent")).c_str(), response.status);
}

// Where a request path lies inside the served folder. False when the path would leave the folder:
// a ".." piece, a backslash or a NUL byte, or a symbolic link that points outside.
bool ResolvePath(const fs::path& root, const std::string& strRequestPath, fs::path& resolved)
{
    if (strRequestPath.empty() || strRequestPath[0] != '/' ||
        strRequestPath.find('\0') != std::string::npos ||
        strRequestPath.find('\\') != std::string::npos)
        return false;
    fs::path path = root;
    size_t uStart = 1;
    while (uStart <= strRequestPath.size())
    {
        size_t uEnd = strRequestPath.find('/', uStart);
        if (uEnd == std::string::npos)
            uEnd = strRequestPath.size();
        const std::string strPiece = strRequestPath.substr(uStart, uEnd - uStart);
        if (strPiece == "..")
            return false;
        if (!strPiece.empty() && strPiece != ".")
            path /= strPiece;
        uStart = uEnd + 1;
    }
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(path, error);
    if (error)
        return false;
    const auto [rootEnd, pathPosition] =
        std::mismatch(root.begin(), root.end(), canonical.begin(), canonical.end());
    if (rootEnd != root.end())
        return false;
    resolved = canonical;
    return true;
}

// The file a resolved path names: the path itself, or a folder's index page. False when there is
// no regular file to serve.
bool FindFile(const fs::path& path, fs::path& file)
{
    std::error_code error;
    if (fs::is_regular_file(path, error))
    {
        file = path;
        return true;
    }
    if (!fs::is_directory(path, error))
        return false;
    for (const char* pszIndex : {"index.html", "index.htm"})
        if (fs::is_regular_file(path / pszIndex, error))
        {
            file = path / pszIndex;
            return true;
        }
    return false;
}

void SetError(const httplib::Request& request, httplib::Response& response, int nStatus,
              const char* pszText)
{
    // The HTTP layer cuts every answer of a handler to the ranges asked for, an error page too;
    // an error page is always sent whole. The request object is the server's own, not a constant
    // object, so its ranges may be changed here (and in ServeFile).
    const_cast<httplib::Request&>(request).ranges.clear();
    response.status = nStatus;
    response.set_content(std::string(pszText) + "\n", "text/plain; charset=utf-8");
}

// An open file, closed when the last response that reads it is done.
struct CFileDescriptor
{
    explicit CFileDescriptor(int nFd) : m_nFd(nFd) {}
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;
    ~CFileDescriptor()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
    }
    int m_nFd;
};

void ServeFile(const fs::path& root, const httplib::Request& request, httplib::Response& response)
{
    fs::path resolved;
    if (!ResolvePath(root, request.path, resolved))
    {
        SetError(request, response, 403, "Forbidden");
        return;
    }
    fs::path file;
    if (!FindFile(resolved, file))
    {
        SetError(request, response, 404, "Not Found");
        return;
    }
    auto pFile = std::make_shared<CFileDescriptor>(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info = {};
    if (pFile->m_nFd < 0 || ::fstat(pFile->m_nFd, &info) != 0)
    {
        SetError(request, response, 403, "Forbidden");
        return;
    }
    const auto uSize = static_cast<size_t>(info.st_size);
    // A range that starts behind the end cannot be served; one that runs past it is cut to the
    // file, which the HTTP layer does not do itself.
    auto& ranges = const_cast<httplib::Request&>(request).ranges;
    // Several ranges at once (which players do not ask for) get the whole file, as the HTTP rules
    // allow: the HTTP layer labels their parts wrongly when the body comes from a file.
    if (ranges.size() > 1)
        ranges.clear();
    for (auto& range : ranges)
    {
        if (range.first >= 0 && static_cast<size_t>(range.first) >= uSize)
        {
            SetError(request, response, 416, "Range Not Satisfiable");
            response.set_header("Content-Range", "bytes */" + std::to_string(uSize));
            return;
        }
        if (range.first >= 0 && range.second >= 0 && static_cast<size_t>(range.second) >= uSize)
            range.second = static_cast<ssize_t>(uSize) - 1;
    }
    response.set_header("Accept-Ranges", "bytes");
    response.set_content_provider(uSize, ContentType(file),
                                  [pFile](size_t uOffset, size_t uLength, httplib::DataSink& sink)
                                  {
                                      std::string buffer(std::min(uLength, CHUNK_SIZE), '\0');
                                      const ssize_t nRead =
                                          ::pread(pFile->m_nFd, buffer.data(), buffer.size(),
                                                  static_cast<off_t>(uOffset));
                                      if (nRead <= 0)
                                          return false;
                                      return sink.write(buffer.data(), static_cast<size_t>(nRead));
                                  });
}

bool ParsePort(const char* pszText, int& nPort)
{
    if (pszText == nullptr || *pszText == '\0')
        return false;
    char* pszEnd = nullptr;
    errno = 0;
    const long nValue = std::strtol(pszText, &pszEnd, 10);
    if (errno != 0 || *pszEnd != '\0' || nValue < 0 || nValue > 65535)
        return false;
    nPort = static_cast<int>(nValue);
    return true;
}

int UsageError(const char* pszMessage)
{
    std::fprintf(stderr, "%s: %s\n", TOOL_NAME, pszMessage);
    std::fprintf(stderr, "Usage: %s [--port N] [--bind ADDRESS] FOLDER\n", TOOL_NAME);
    return EXIT_USAGE;
}

} // namespace

int main(int argc, char** argv)
{
    int nPort = DEFAULT_PORT;
    std::string strBind = DEFAULT_BIND;
    const char* pszFolder = nullptr;
    for (int i = 1; i < argc; ++i)
    {
        const std::string strArgument = argv[i];
        if (strArgument == "--help" || strArgument == "-h")
        {
            PrintUsage(stdout);
            return EXIT_DONE;
        }
        if (strArgument == "--port" || strArgument == "--bind")
        {
            if (i + 1 >= argc)
                return UsageError((strArgument + " needs a value").c_str());
            const char* pszValue = argv[++i];
            if (strArgument == "--bind")
            {
                if (*pszValue == '\0')
                    return UsageError("--bind needs an address");
                strBind = pszValue;
            }
            else if (!ParsePort(pszValue, nPort))
                return UsageError("--port needs a number from 0 to 65535");
        }
        else if (!strArgument.empty() && strArgument[0] == '-')
            return UsageError(("unknown option " + strArgument).c_str());
        else if (pszFolder != nullptr)
            return UsageError("only one folder can be served");
        else
            pszFolder = argv[i];
    }
    if (pszFolder == nullptr || *pszFolder == '\0')
        return UsageError("no folder given");

    std::error_code error;
    const fs::path root = fs::canonical(pszFolder, error);
    if (error || !fs::is_directory(root, error))
    {
        std::fprintf(stderr, "%s: %s is not a folder\n", TOOL_NAME, pszFolder);
        return EXIT_FAILED;
    }

    // SIGINT and SIGTERM are taken by a thread of their own, which stops the server; the worker
    // threads start after this and inherit the blocked mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A client that hangs up while a file is sent must not end the server.
    std::signal(SIGPIPE, SIG_IGN);

    httplib::Server server;
    server.Get(".*", [&root](const httplib::Request& request, httplib::Response& response)
               { ServeFile(root, request, response); });
    const auto refuse = [](const httplib::Request& request, httplib::Response& response)
    {
        SetError(request, response, 405, "Method Not Allowed");
        response.set_header("Allow", "GET, HEAD");
    };
    server.Post(".*", refuse);
    server.Put(".*", refuse);
    server.Patch(".*", refuse);
    server.Delete(".*", refuse);
    server.Options(".*", refuse);
    server.set_logger(LogRequest);
    // Only SO_REUSEADDR: the HTTP layer's default also sets SO_REUSEPORT, with which a second
    // server on the same port would start without complaint and take half the connections.
    server.set_socket_options(
        [](socket_t nSocket)
        {
            const int nYes = 1;
            ::setsockopt(nSocket, SOL_SOCKET, SO_REUSEADDR, &nYes, sizeof nYes);
        });

    const int nRequestedPort = nPort;
    errno = 0;
    if (nRequestedPort == 0)
        nPort = server.bind_to_any_port(strBind);
    else if (!server.bind_to_port(strBind, nRequestedPort))
        nPort = -1;
    if (nPort <= 0)
    {
        const int nError = errno;
        std::fprintf(stderr, "%s: cannot listen on %s port %d%s%s\n", TOOL_NAME, strBind.c_str(),
                     nRequestedPort, nError != 0 ? ": " : "",
                     nError != 0 ? std::strerror(nError) : "");
        if (nError == EADDRINUSE)
            std::fprintf(stderr,
                         "%s: another program already uses that port; stop it or choose "
                         "another with --port\n",
                         TOOL_NAME);
        return EXIT_FAILED;
    }

    const bool bIpv6 = strBind.find(':') != std::string::npos;
    std::printf("Serving %s at http://%s%s%s:%d/\n", root.c_str(), bIpv6 ? "[" : "",
                strBind.c_str(), bIpv6 ? "]" : "", nPort);
    std::fflush(stdout);

    std::thread stopper(
        [&server, signals]
        {
            int nSignal = 0;
            sigwait(&signals, &nSignal);
            server.stop();
        });
    const bool bListened = server.listen_after_bind();
    // After an interrupt the stopper has ended; otherwise it is still waiting and is woken.
    if (!bListened)
        pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    return bListened ? EXIT_DONE : EXIT_FAILED;
}
