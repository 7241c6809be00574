#pragma once

#include "net/MyBuffer.h"
#include "platform/MessageVocabulary.h"
#include "text/MyString.h"

#include <QObject>
#include <QPointer>

#include <cstdint>

// Why a download brought no body.
enum class DownloadFailure
{
    None,        // it succeeded
    NoAddress,   // the URL was empty
    NotFound,    // the server's name could not be resolved
    Refused,     // nothing accepted the connection
    TimedOut,    // no connection, a stalled transfer, or past the overall time limit
    HttpStatus,  // the server answered with a status other than 200
    TooLarge,    // the body is larger than the size limit
    CannotWrite, // the body could not be kept (the file or the memory)
    Network,     // any other failure of the transfer (a broken connection, too many redirects)
};

// The outcome of one download: the failure, the HTTP status when the server answered, and the
// detail a failure has (the system's words for a file that cannot be written, the transfer's
// words for a network failure).
struct CDownloadResult
{
    DownloadFailure failure = DownloadFailure::None;
    long nHttpStatus = 0;
    CMyString strDetail;

    bool Succeeded() const { return failure == DownloadFailure::None; }
    // The reason in words, such as "HTTP status 404" or "connection refused"; empty on success.
    CMyString Describe() const;
};

// One HTTP download, into memory or into a file; on the caller's thread or on a thread of its
// own that reports to a receiver with a registered window message and then deletes its job.
//
// Requests carry the agent "Marquint" and "Accept: */*"; only status 200 counts. The body is read
// in blocks of up to 10,239 bytes. A connection that is not made within 30 seconds, a transfer
// that receives nothing for 60 seconds, one that runs past its overall time limit, or a body
// larger than its size limit is abandoned and counts as failed (see SetLimits).
//
// The file message carries 1 or 0 and the cookie; the buffer message a new CMyBuffer (owned by the
// receiver, null on failure) and the cookie. When the receiver no longer exists, the file job sends
// nothing; the buffer job frees the copy it would have handed over, and the cookie's release
// function (when one is set) frees the cookie.
//
// Every failure is traced with its URL and reason; GetResult() tells the caller the reason of
// the last download made on its own thread.
class CMyDownload
{
public:
    CMyDownload() = default;
    CMyDownload(const CMyDownload&) = delete;
    CMyDownload& operator=(const CMyDownload&) = delete;
    virtual ~CMyDownload() = default;

    // true: bypass every cache (no-cache request); false: an ordinary request that a cache may
    // revalidate. File downloads always reload.
    void SetReload(bool bReload) { m_bReload = bReload; }
    // The largest body and the longest whole transfer allowed; by default those of a list.
    void SetLimits(uint64_t uMaxBytes, long nMaxSeconds)
    {
        m_uMaxBytes = uMaxBytes;
        m_nMaxSeconds = nMaxSeconds;
    }
    // The limits of each kind of download: the update description, a list, a small picture.
    static constexpr uint64_t DESCRIPTION_MAX_BYTES = 512 * 1024;
    static constexpr long DESCRIPTION_MAX_SECONDS = 60;
    static constexpr uint64_t LIST_MAX_BYTES = 64 * 1024 * 1024;
    static constexpr long LIST_MAX_SECONDS = 600;
    static constexpr uint64_t PICTURE_MAX_BYTES = 512 * 1024;
    static constexpr long PICTURE_MAX_SECONDS = 60;

    // Frees a cookie that owns memory when its message cannot be delivered.
    using CookieRelease = void (*)(uintptr_t uCookie);
    void SetCookieRelease(CookieRelease pfnRelease) { m_pfnCookieRelease = pfnRelease; }

    // On the caller's thread; the bytes stay in GetBuffer(). False at once for an empty URL.
    bool DownloadToBuffer(const CMyString& strUrl);
    // Start a job on a thread of its own. The job must have been made with new: its thread
    // deletes it after the receiver has handled the message. Answer true at once; false when no
    // thread could be started: then the job has deleted itself and freed its cookie, and no
    // message will come.
    bool StartFileDownload(const CMyString& strUrl, const CMyString& strFilePath,
                           QObject* pReceiver, uint32_t uMessage, uintptr_t uCookie);
    bool StartBufferDownload(const CMyString& strUrl, QObject* pReceiver, uint32_t uMessage,
                             uintptr_t uCookie);

    const CMyBuffer& GetBuffer() const { return m_buffer; }
    // How the last download ended.
    const CDownloadResult& GetResult() const { return m_result; }

private:
    enum class Output
    {
        File,
        Buffer,
    };
    // Fetches the URL into the file (written through a temporary file renamed over the target)
    // or the buffer; true on status 200 with the whole body received. m_result says why not.
    bool Work(Output output);
    CDownloadResult Transfer(Output output);
    bool StartJob(void (CMyDownload::*pRun)(), const CMyString& strUrl, QObject* pReceiver,
                  uint32_t uMessage, uintptr_t uCookie);
    void RunFileJob();
    void RunBufferJob();

    uint32_t m_uMessage = 0;
    QPointer<QObject> m_pReceiver;
    CMyString m_strUrl;
    bool m_bReload = false;
    CMyString m_strFilePath;
    uintptr_t m_uCookie = 0;
    CookieRelease m_pfnCookieRelease = nullptr;
    uint64_t m_uMaxBytes = LIST_MAX_BYTES;
    long m_nMaxSeconds = LIST_MAX_SECONDS;
    CMyBuffer m_buffer;
    CDownloadResult m_result;
};
