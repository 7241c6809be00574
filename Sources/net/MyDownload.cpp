#include "net/MyDownload.h"

#include "platform/ConnectionCheck.h"
#include "platform/TemporaryFile.h"
#include "platform/Trace.h"
#include "platform/WindowMessage.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
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

// What the write callback needs while a transfer runs, and why it stopped one.
struct CTransfer
{
    CURL* pCurl = nullptr;
    const CMyString* pFilePath = nullptr; // null for buffer output
    CMyBuffer* pBuffer = nullptr;         // null for file output
    std::unique_ptr<CTemporaryFile> pFile;
    bool bStatusChecked = false;
    uint64_t uMaxBytes = 0;
    uint64_t uReceived = 0;
    DownloadFailure failure = DownloadFailure::None;
    CMyString strDetail;

    // Ends the transfer as failed: the answer for libcurl's write callback.
    size_t Fail(DownloadFailure why, const CMyString& strWhy = CMyString())
    {
        failure = why;
        strDetail = strWhy;
        return 0;
    }
};

struct CCurlCleanup
{
    void operator()(CURL* pCurl) const { curl_easy_cleanup(pCurl); }
};
struct CHeaderListCleanup
{
    void operator()(curl_slist* pList) const { curl_slist_free_all(pList); }
};

CMyString TooLargeDetail(uint64_t uMaxBytes)
{
    return CMyString(("more than " + std::to_string(uMaxBytes) + " bytes").c_str());
}

// The file that could not be written and the system's words for why.
CMyString WriteDetail(const CMyString& strPath, int nError)
{
    CMyString strDetail(strPath);
    strDetail += ": ";
    strDetail += std::strerror(nError);
    return strDetail;
}

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
    {
        transfer.Fail(DownloadFailure::CannotWrite,
                      WriteDetail(*transfer.pFilePath, transfer.pFile->GetError()));
        return false;
    }
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
        return transfer.Fail(DownloadFailure::TooLarge, TooLargeDetail(transfer.uMaxBytes));
    if (!transfer.bStatusChecked)
    {
        // Only the body of a 200 answer is kept; anything else ends the transfer unread.
        if (!IsStatusOk(transfer.pCurl))
            return transfer.Fail(DownloadFailure::HttpStatus);
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
                return transfer.Fail(DownloadFailure::CannotWrite,
                                     WriteDetail(*transfer.pFilePath, errno));
        }
        if (transfer.pBuffer != nullptr)
        {
            const uint32_t uUsedBefore = transfer.pBuffer->GetUsed();
            transfer.pBuffer->Append(pData + uDone, static_cast<uint32_t>(uPiece));
            // The buffer could not grow (out of memory, or beyond 4 GiB).
            if (transfer.pBuffer->GetUsed() != uUsedBefore + uPiece)
                return transfer.Fail(DownloadFailure::CannotWrite, "out of memory");
        }
        uDone += uPiece;
    }
    return uTotal;
}

} // namespace

CMyString CDownloadResult::Describe() const
{
    // The words of each failure, in the order of DownloadFailure.
    static constexpr const char* s_apszWords[] = {"",
                                                  "no address",
                                                  "host not found",
                                                  "connection refused",
                                                  "timed out",
                                                  "HTTP status ",
                                                  "too large",
                                                  "cannot write",
                                                  "network error"};
    static_assert(std::size(s_apszWords) == static_cast<size_t>(DownloadFailure::Network) + 1);
    if (Succeeded())
        return CMyString();
    CMyString strText(s_apszWords[static_cast<size_t>(failure)]);
    if (failure == DownloadFailure::HttpStatus)
        strText += std::to_string(nHttpStatus).c_str();
    if (!strDetail.IsEmpty())
    {
        strText += ": ";
        strText += strDetail;
    }
    return strText;
}

bool CMyDownload::Work(Output output)
{
    m_buffer.Clear();
    m_result = Transfer(output);
    if (m_result.Succeeded())
        return true;
    m_buffer.Clear();
    Trace("Download of %s failed: %s", m_strUrl.IsEmpty() ? "(no address)" : m_strUrl.GetBuffer(),
          m_result.Describe().GetBuffer());
    return false;
}

CDownloadResult CMyDownload::Transfer(Output output)
{
    CDownloadResult result;
    if (m_strUrl.IsEmpty())
    {
        result.failure = DownloadFailure::NoAddress;
        return result;
    }
    InitNetworking();
    const std::unique_ptr<CURL, CCurlCleanup> pCurl(curl_easy_init());
    if (!pCurl)
    {
        result.failure = DownloadFailure::Network;
        result.strDetail = "cannot start a transfer";
        return result;
    }

    curl_slist* pList = curl_slist_append(nullptr, "Accept: */*");
    if (m_bReload)
    {
        pList = curl_slist_append(pList, "Cache-Control: no-cache");
        pList = curl_slist_append(pList, "Pragma: no-cache");
    }
    const std::unique_ptr<curl_slist, CHeaderListCleanup> pHeaders(pList);

    CTransfer transfer;
    transfer.pCurl = pCurl.get();
    transfer.uMaxBytes = m_uMaxBytes;
    if (output == Output::File)
        transfer.pFilePath = &m_strFilePath;
    else
        transfer.pBuffer = &m_buffer;

    char szError[CURL_ERROR_SIZE] = {};
    CURL* pHandle = pCurl.get();
    curl_easy_setopt(pHandle, CURLOPT_URL, m_strUrl.GetBuffer());
    curl_easy_setopt(pHandle, CURLOPT_USERAGENT, "Marquint");
    curl_easy_setopt(pHandle, CURLOPT_HTTPHEADER, pHeaders.get());
    curl_easy_setopt(pHandle, CURLOPT_ERRORBUFFER, szError);
    curl_easy_setopt(pHandle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pHandle, CURLOPT_CONNECTTIMEOUT, CONNECT_TIMEOUT_SECONDS);
    curl_easy_setopt(pHandle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(pHandle, CURLOPT_LOW_SPEED_TIME, CappedSeconds(STALL_TIMEOUT_SECONDS));
    // A server that trickles a byte now and then is cut off by the overall limit.
    curl_easy_setopt(pHandle, CURLOPT_TIMEOUT, CappedSeconds(m_nMaxSeconds));
    curl_easy_setopt(pHandle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(m_uMaxBytes));
    // Redirects are followed, but never to anything but HTTP and HTTPS (no file:, no ftp:).
    curl_easy_setopt(pHandle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(pHandle, CURLOPT_MAXREDIRS, MAX_REDIRECTS);
    curl_easy_setopt(pHandle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(pHandle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(pHandle, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(pHandle, CURLOPT_WRITEDATA, &transfer);

    const CURLcode code = curl_easy_perform(pHandle);
    curl_easy_getinfo(pHandle, CURLINFO_RESPONSE_CODE, &result.nHttpStatus);
    if (transfer.failure != DownloadFailure::None)
    {
        // The write callback stopped the transfer and said why.
        result.failure = transfer.failure;
        result.strDetail = transfer.strDetail;
        return result;
    }
    if (code != CURLE_OK)
    {
        long nSystemError = 0;
        curl_easy_getinfo(pHandle, CURLINFO_OS_ERRNO, &nSystemError);
        result.strDetail = szError[0] != '\0' ? szError : curl_easy_strerror(code);
        if (code == CURLE_COULDNT_CONNECT && nSystemError == ECONNREFUSED)
        {
            result.failure = DownloadFailure::Refused;
            result.strDetail.Empty();
        }
        else if (code == CURLE_COULDNT_RESOLVE_HOST)
            result.failure = DownloadFailure::NotFound;
        else if (code == CURLE_OPERATION_TIMEDOUT)
            result.failure = DownloadFailure::TimedOut;
        else if (code == CURLE_FILESIZE_EXCEEDED)
        {
            result.failure = DownloadFailure::TooLarge;
            result.strDetail = TooLargeDetail(m_uMaxBytes);
        }
        else
            result.failure = DownloadFailure::Network;
        return result;
    }
    if (result.nHttpStatus != 200)
    {
        result.failure = DownloadFailure::HttpStatus;
        return result;
    }
    // An empty body never reached the write callback: the target becomes an empty file.
    if (output == Output::File && !transfer.pFile && !OpenFile(transfer))
    {
        result.failure = transfer.failure;
        result.strDetail = transfer.strDetail;
        return result;
    }
    // The target is replaced only by a complete body; otherwise the temporary file goes away.
    if (transfer.pFile && !transfer.pFile->Commit(true))
    {
        result.failure = DownloadFailure::CannotWrite;
        result.strDetail = WriteDetail(m_strFilePath, transfer.pFile->GetError());
    }
    return result;
}

bool CMyDownload::DownloadToBuffer(const CMyString& strUrl)
{
    if (strUrl.IsEmpty())
    {
        m_result = CDownloadResult{DownloadFailure::NoAddress, 0, CMyString()};
        return false;
    }
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
