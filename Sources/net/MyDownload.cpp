#include "net/MyDownload.h"

#include "platform/ConnectionCheck.h"
#include "platform/TemporaryFile.h"
#include "platform/WindowMessage.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace
{

// The body is handed on in blocks of at most this many bytes.
constexpr size_t READ_BLOCK = 10239;
constexpr long CONNECT_TIMEOUT_SECONDS = 30;
// A transfer that receives less than one byte per second for this long is abandoned.
constexpr long STALL_TIMEOUT_SECONDS = 60;
constexpr long MAX_REDIRECTS = 10;

// With ORVANTA_DOWNLOAD_SECONDS set to a positive number, every time limit of a download (the
// overall one and the stall) is at most that many seconds: tests of misbehaving servers then
// need not wait for the real limits.
long CappedSeconds(long nSeconds)
{
    static const long s_nCap = []
    {
        const char* pszCap = std::getenv("ORVANTA_DOWNLOAD_SECONDS");
        return pszCap != nullptr ? std::atol(pszCap) : 0L;
    }();
    return s_nCap > 0 ? std::min(nSeconds, s_nCap) : nSeconds;
}

// What the write callback needs while a transfer runs.
struct CTransfer
{
    CURL* pCurl = nullptr;
    const CMyString* pFilePath = nullptr; // null for buffer output
    CMyBuffer* pBuffer = nullptr;         // null for file output
    std::unique_ptr<CTemporaryFile> pFile;
    bool bStatusChecked = false;
    uint64_t uMaxBytes = 0;
    uint64_t uReceived = 0;
};

bool IsStatusOk(CURL* pCurl)
{
    long nStatus = 0;
    return curl_easy_getinfo(pCurl, CURLINFO_RESPONSE_CODE, &nStatus) == CURLE_OK && nStatus == 200;
}

// The temporary file that becomes the target once the whole body is there. A file that is
// replaced keeps its permissions; a new one is readable by everybody.
bool OpenFile(CTransfer& transfer)
{
    transfer.pFile = std::make_unique<CTemporaryFile>(*transfer.pFilePath);
    if (!transfer.pFile->IsOpen())
        return false;
    struct stat info = {};
    const mode_t mode = ::stat(transfer.pFilePath->GetBuffer(), &info) == 0 && S_ISREG(info.st_mode)
                            ? info.st_mode & 0777
                            : 0644;
    ::fchmod(transfer.pFile->GetDescriptor(), mode);
    return true;
}

// libcurl hands over the body here. Answering anything but the size aborts the transfer.
size_t WriteBody(char* pData, size_t uSize, size_t uCount, void* pvTransfer)
{
    auto& transfer = *static_cast<CTransfer*>(pvTransfer);
    const size_t uTotal = uSize * uCount;
    // A body beyond the limit (an endless one, say) ends the transfer as failed.
    transfer.uReceived += uTotal;
    if (transfer.uReceived > transfer.uMaxBytes)
        return 0;
    if (!transfer.bStatusChecked)
    {
        // Only the body of a 200 answer is kept; anything else ends the transfer unread.
        if (!IsStatusOk(transfer.pCurl))
            return 0;
        transfer.bStatusChecked = true;
        if (transfer.pFilePath != nullptr && !OpenFile(transfer))
            return 0;
    }

    for (size_t uDone = 0; uDone < uTotal;)
    {
        const size_t uPiece = std::min(READ_BLOCK, uTotal - uDone);
        if (transfer.pFile)
        {
            if (!WriteAllBytes(transfer.pFile->GetDescriptor(), pData + uDone, uPiece))
                return 0;
        }
        if (transfer.pBuffer != nullptr)
        {
            const uint32_t uUsedBefore = transfer.pBuffer->GetUsed();
            transfer.pBuffer->Append(pData + uDone, static_cast<uint32_t>(uPiece));
            // The buffer could not grow (out of memory, or beyond 4 GiB).
            if (transfer.pBuffer->GetUsed() != uUsedBefore + uPiece)
                return 0;
        }
        uDone += uPiece;
    }
    return uTotal;
}

} // namespace

bool CMyDownload::Work(Output output)
{
    m_buffer.Clear();
    if (m_strUrl.IsEmpty())
        return false;
    InitNetworking();
    CURL* pCurl = curl_easy_init();
    if (pCurl == nullptr)
        return false;

    curl_slist* pHeaders = curl_slist_append(nullptr, "Accept: */*");
    if (m_bReload)
    {
        pHeaders = curl_slist_append(pHeaders, "Cache-Control: no-cache");
        pHeaders = curl_slist_append(pHeaders, "Pragma: no-cache");
    }

    CTransfer transfer;
    transfer.pCurl = pCurl;
    transfer.uMaxBytes = m_uMaxBytes;
    if (output == Output::File)
        transfer.pFilePath = &m_strFilePath;
    else
        transfer.pBuffer = &m_buffer;

    curl_easy_setopt(pCurl, CURLOPT_URL, m_strUrl.GetBuffer());
    curl_easy_setopt(pCurl, CURLOPT_USERAGENT, "Marquint");
    curl_easy_setopt(pCurl, CURLOPT_HTTPHEADER, pHeaders);
    curl_easy_setopt(pCurl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pCurl, CURLOPT_CONNECTTIMEOUT, CONNECT_TIMEOUT_SECONDS);
    curl_easy_setopt(pCurl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(pCurl, CURLOPT_LOW_SPEED_TIME, CappedSeconds(STALL_TIMEOUT_SECONDS));
    // A server that trickles a byte now and then is cut off by the overall limit.
    curl_easy_setopt(pCurl, CURLOPT_TIMEOUT, CappedSeconds(m_nMaxSeconds));
    curl_easy_setopt(pCurl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(m_uMaxBytes));
    // Redirects are followed, but never to anything but HTTP and HTTPS (no file:, no ftp:).
    curl_easy_setopt(pCurl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(pCurl, CURLOPT_MAXREDIRS, MAX_REDIRECTS);
    curl_easy_setopt(pCurl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(pCurl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(pCurl, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, &transfer);

    bool bSuccess = curl_easy_perform(pCurl) == CURLE_OK && IsStatusOk(pCurl);
    // An empty body never reached the write callback: the target becomes an empty file.
    if (bSuccess && output == Output::File && !transfer.pFile)
        bSuccess = OpenFile(transfer);
    // The target is replaced only by a complete body; otherwise the temporary file goes away.
    if (bSuccess && transfer.pFile)
        bSuccess = transfer.pFile->Commit(true);

    curl_easy_cleanup(pCurl);
    curl_slist_free_all(pHeaders);
    if (!bSuccess)
        m_buffer.Clear();
    return bSuccess;
}

bool CMyDownload::DownloadToBuffer(const CMyString& strUrl)
{
    if (strUrl.IsEmpty())
        return false;
    m_strUrl = strUrl;
    m_pReceiver.clear();
    m_uMessage = 0;
    m_uCookie = 0;
    return Work(Output::Buffer);
}

bool CMyDownload::StartFileDownload(const CMyString& strUrl, const CMyString& strFilePath,
                                    QObject* pReceiver, uint32_t uMessage, uintptr_t uCookie)
{
    m_strFilePath = strFilePath;
    m_bReload = true;
    return StartJob(&CMyDownload::RunFileJob, strUrl, pReceiver, uMessage, uCookie);
}

bool CMyDownload::StartBufferDownload(const CMyString& strUrl, QObject* pReceiver,
                                      uint32_t uMessage, uintptr_t uCookie)
{
    return StartJob(&CMyDownload::RunBufferJob, strUrl, pReceiver, uMessage, uCookie);
}

// The job belongs to its thread from here on. When no thread can be started the job deletes
// itself and answers false: no message will come.
bool CMyDownload::StartJob(void (CMyDownload::*pRun)(), const CMyString& strUrl, QObject* pReceiver,
                           uint32_t uMessage, uintptr_t uCookie)
{
    m_strUrl = strUrl;
    m_pReceiver = pReceiver;
    m_uMessage = uMessage;
    m_uCookie = uCookie;
    try
    {
        std::thread(pRun, this).detach();
    }
    catch (const std::system_error&)
    {
        if (m_pfnCookieRelease != nullptr)
            m_pfnCookieRelease(m_uCookie);
        delete this;
        return false;
    }
    return true;
}

void CMyDownload::RunFileJob()
{
    const bool bSuccess = Work(Output::File);
    // Sent only when the receiver still exists; the check happens on the receiver's thread.
    SendWindowMessage(m_pReceiver, m_uMessage, bSuccess ? 1u : 0u,
                      static_cast<intptr_t>(m_uCookie));
    delete this;
}

void CMyDownload::RunBufferJob()
{
    CMyBuffer* pBuffer = Work(Output::Buffer) ? new CMyBuffer(m_buffer) : nullptr;
    bool bDelivered = false;
    SendWindowMessage(m_pReceiver, m_uMessage, reinterpret_cast<uintptr_t>(pBuffer),
                      static_cast<intptr_t>(m_uCookie), &bDelivered);
    // A receiver that is gone cannot free the copy.
    if (!bDelivered)
    {
        delete pBuffer;
        if (m_pfnCookieRelease != nullptr)
            m_pfnCookieRelease(m_uCookie);
    }
    delete this;
}
