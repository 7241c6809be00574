#include "host/WMPPlayer4.h"

#include "platform/ShellLaunch.h"
#include "platform/Trace.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QOpenGLContext>
#include <QOpenGLWindow>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace
{
// How long a stream waits for the video surface to get its OpenGL context before it starts
// anyway (sound then plays without pictures).
constexpr int SURFACE_WAIT_MS = 2000;

void* GetProcAddress(void* /*pContext*/, const char* pszName)
{
    QOpenGLContext* pContext = QOpenGLContext::currentContext();
    if (pContext == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(pContext->getProcAddress(QByteArray(pszName)));
}

bool HeadlessByEnvironment()
{
    const char* pszValue = std::getenv("ORVANTA_PLAYER_HEADLESS");
    return pszValue != nullptr && std::strcmp(pszValue, "1") == 0;
}

// The useful part of one of FFmpeg's or mpv's error lines: "HTTP error 404 Not Found" from the
// HTTP reader, the cause after "failed: " of a connection line, otherwise the line without the
// component's "name: " prefix.
std::string ReasonOfLogLine(std::string strLine)
{
    while (!strLine.empty() && (strLine.back() == '\n' || strLine.back() == '\r' ||
                                strLine.back() == ' ' || strLine.back() == '.'))
        strLine.pop_back();
    size_t uAt = strLine.find("HTTP error");
    if (uAt != std::string::npos)
        return strLine.substr(uAt);
    uAt = strLine.rfind("failed: ");
    if (uAt != std::string::npos)
        return strLine.substr(uAt + 8);
    uAt = strLine.find(": ");
    if (uAt != std::string::npos && uAt < 16)
        return strLine.substr(uAt + 2);
    return strLine;
}

// The text without control characters.
CMyString WithoutControlCharacters(const CMyString& strText)
{
    if (strText.IsEmpty())
        return CMyString();
    std::string text(strText.GetBuffer(), strText.GetLength());
    std::erase_if(text, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    return CMyString(text.c_str());
}

// Traces a failed engine call with the engine's words for the error; answers the error code.
int Checked(int nError, const char* pszCall, const char* pszWhat = "")
{
    if (nError < 0)
        Trace("player: %s%s%s failed: %s", pszCall, pszWhat[0] != '\0' ? " " : "", pszWhat,
              mpv_error_string(nError));
    return nError;
}

bool SetOption(mpv_handle* pMpv, const char* pszName, const char* pszValue)
{
    return Checked(mpv_set_option_string(pMpv, pszName, pszValue), "option", pszName) >= 0;
}

struct CRenderContextRelease
{
    void operator()(mpv_render_context* pRender) const { mpv_render_context_free(pRender); }
};

mpv_node StringNode(const char* pszText)
{
    mpv_node node{};
    node.format = MPV_FORMAT_STRING;
    node.u.string = const_cast<char*>(pszText);
    return node;
}
} // namespace

// The native OpenGL window that mpv draws into, placed in the player through a window container.
// A window of its own swaps only its own pixels: an OpenGL widget would make Qt compose the whole
// top-level window through OpenGL for every video frame, which costs far more than the video
// itself where OpenGL is rendered in software.
//
// The render context is made without advanced control: this thread also calls into the engine
// (commands and properties), and with advanced control the rendering thread must never wait for
// the engine, or the engine can lock up for good.
//
// Keys and mouse presses that reach the window are handed on to the input target (the
// container), so they travel up the widgets as they would from any other child of the player.
class CVideoSurface : public QOpenGLWindow
{
public:
    explicit CVideoSurface(mpv_handle* pMpv)
        : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate), m_pMpv(pMpv)
    {
    }
    ~CVideoSurface() override
    {
        // The base class destroys the OpenGL context after this object has ended: its signal
        // must not reach this object any more.
        QObject::disconnect(m_contextGone);
        // The render context must go before the engine and with its OpenGL context current.
        FreeRenderContext();
    }
    CVideoSurface(const CVideoSurface&) = delete;
    CVideoSurface& operator=(const CVideoSurface&) = delete;

    bool HasRenderContext() const { return m_pRender != nullptr; }
    // Called each time a render context was made.
    std::function<void()> m_onReady;
    QPointer<QWidget> m_pInputTarget;

protected:
    void initializeGL() override
    {
        FreeRenderContext();
        mpv_opengl_init_params glInit{};
        glInit.get_proc_address = &GetProcAddress;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
            {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
            {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context* pRender = nullptr;
        if (Checked(mpv_render_context_create(&pRender, m_pMpv, params),
                    "mpv_render_context_create") < 0)
            return;
        m_pRender.reset(pRender);
        // mpv asks for a new frame from its own threads: only queue the work to this thread.
        mpv_render_context_set_update_callback(
            m_pRender.get(),
            [](void* pSelf)
            {
                auto* pSurface = static_cast<CVideoSurface*>(pSelf);
                QMetaObject::invokeMethod(
                    pSurface, [pSurface] { pSurface->OnUpdate(); }, Qt::QueuedConnection);
            },
            this);
        QObject::disconnect(m_contextGone);
        m_contextGone = QObject::connect(
            context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { FreeRenderContext(); },
            Qt::DirectConnection);
        if (m_onReady)
            m_onReady();
    }

    void paintGL() override { Render(); }

    bool event(QEvent* pEvent) override
    {
        switch (pEvent->type())
        {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            if (m_pInputTarget != nullptr)
            {
                std::unique_ptr<QEvent> pCopy(pEvent->clone());
                QCoreApplication::sendEvent(m_pInputTarget, pCopy.get());
                return true;
            }
            break;
        default:
            break;
        }
        return QOpenGLWindow::event(pEvent);
    }

private:
    void Render()
    {
        if (m_pRender == nullptr)
            return;
        const qreal dRatio = devicePixelRatio();
        mpv_opengl_fbo fbo{};
        fbo.fbo = static_cast<int>(defaultFramebufferObject());
        fbo.w = static_cast<int>(width() * dRatio);
        fbo.h = static_cast<int>(height() * dRatio);
        int nFlipY = 1;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                                     {MPV_RENDER_PARAM_FLIP_Y, &nFlipY},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_render(m_pRender.get(), params);
    }

    void OnUpdate()
    {
        if (m_pRender == nullptr)
            return;
        if ((mpv_render_context_update(m_pRender.get()) & MPV_RENDER_UPDATE_FRAME) == 0)
            return;
        if (isExposed())
        {
            update();
            return;
        }
        // No paints come while hidden or minimised; frames are still taken, so the engine's
        // video output never waits for us.
        makeCurrent();
        Render();
        doneCurrent();
    }

    void FreeRenderContext()
    {
        if (m_pRender == nullptr)
            return;
        makeCurrent();
        m_pRender.reset();
        doneCurrent();
    }

    mpv_handle* m_pMpv;
    std::unique_ptr<mpv_render_context, CRenderContextRelease> m_pRender;
    QMetaObject::Connection m_contextGone;
};

CWMPPlayer4::CWMPPlayer4(QWidget* pParent, bool bHeadless)
    : QWidget(pParent), m_bHeadless(bHeadless || HeadlessByEnvironment())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
}

void CWMPPlayer4::CEngineRelease::operator()(mpv_handle* pMpv) const
{
    mpv_terminate_destroy(pMpv);
}

CWMPPlayer4::~CWMPPlayer4()
{
    if (m_pMpv != nullptr)
        mpv_set_wakeup_callback(m_pMpv.get(), nullptr, nullptr);
    // The surface frees its render context; only then may the engine go. In full screen it has
    // no parent, so it is deleted here in any case.
    delete m_pVideo;
    m_pVideo = nullptr;
    m_pSurface = nullptr;
    m_pMpv.reset();
}

bool CWMPPlayer4::Create(QWidget* pParent)
{
    if (pParent != nullptr)
        setParent(pParent);
    if (m_pMpv != nullptr)
        return true;

    // mpv refuses to start unless numbers are read the C way.
    std::setlocale(LC_NUMERIC, "C");
    std::unique_ptr<mpv_handle, CEngineRelease> pMpv(mpv_create());
    if (pMpv == nullptr)
    {
        Trace("player: mpv_create failed");
        return false;
    }
    // vo=libmpv: never a window of its own; a timing offset of 0 keeps rendering from blocking
    // this thread. Live streams reconnect after network errors.
    SetOption(pMpv.get(), "vo", m_bHeadless ? "null" : "libmpv");
    if (m_bHeadless)
        SetOption(pMpv.get(), "ao", "null");
    SetOption(pMpv.get(), "video-timing-offset", "0");
    SetOption(pMpv.get(), "ytdl", "no");
    SetOption(pMpv.get(), "idle", "yes");
    SetOption(pMpv.get(), "config", "no");
    SetOption(pMpv.get(), "load-scripts", "no");
    SetOption(pMpv.get(), "terminal", "no");
    SetOption(pMpv.get(), "input-default-bindings", "no");
    SetOption(pMpv.get(), "input-vo-keyboard", "no");
    SetOption(pMpv.get(), "network-timeout", "15");
    SetOption(
        pMpv.get(), "stream-lavf-o",
        "reconnect=1,reconnect_streamed=1,reconnect_on_network_error=1,reconnect_delay_max=5");
    SetOption(pMpv.get(), "keepaspect", m_bStretchToFit ? "no" : "yes");
    if (Checked(mpv_initialize(pMpv.get()), "mpv_initialize") < 0)
        return false;
    m_pMpv = std::move(pMpv);

    Checked(mpv_request_log_messages(m_pMpv.get(), "warn"), "mpv_request_log_messages");
    for (const auto& [pszName, format] :
         {std::pair{"paused-for-cache", MPV_FORMAT_FLAG}, std::pair{"pause", MPV_FORMAT_FLAG},
          std::pair{"cache-buffering-state", MPV_FORMAT_INT64},
          std::pair{"duration", MPV_FORMAT_DOUBLE}, std::pair{"seekable", MPV_FORMAT_FLAG}})
        Checked(mpv_observe_property(m_pMpv.get(), 0, pszName, format), "observe", pszName);
    SetVolume(m_nVolume);
    SetMute(m_bMute);

    if (m_bHeadless)
    {
        m_pVideo = new QWidget(this);
        m_pVideo->setAutoFillBackground(true);
        m_pVideo->setPalette(palette());
    }
    else
    {
        m_pSurface = new CVideoSurface(m_pMpv.get());
        m_pSurface->m_onReady = [this] { OnSurfaceReady(); };
        // The container owns the window from now on.
        m_pVideo = QWidget::createWindowContainer(m_pSurface, this);
        m_pVideo->setFocusPolicy(Qt::NoFocus);
        m_pSurface->m_pInputTarget = m_pVideo;
    }
    m_pVideo->setContextMenuPolicy(contextMenuPolicy());
    m_pVideo->installEventFilter(this);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pVideo);

    // The engine calls this from its own threads: it only queues the work to this thread.
    mpv_set_wakeup_callback(
        m_pMpv.get(),
        [](void* pSelf)
        {
            auto* pPlayer = static_cast<CWMPPlayer4*>(pSelf);
            QMetaObject::invokeMethod(
                pPlayer, [pPlayer] { pPlayer->ProcessEvents(); }, Qt::QueuedConnection);
        },
        this);
    return true;
}

void CWMPPlayer4::SetURL(const CMyString& strURL)
{
    m_strURL = strURL;
    if (m_pMpv == nullptr)
        return;
    if (m_bAutoStart && !m_strURL.IsEmpty())
    {
        StartLoading();
        return;
    }
    // Synchronous: an asynchronous stop could overtake a following load.
    const char* args[] = {"stop", nullptr};
    Checked(mpv_command(m_pMpv.get(), args), "command", "stop");
    m_nEntryId = -1;
    m_bLoadPending = false;
    LeaveFullScreen();
    SetState(PLAY_STATE_READY, "");
}

void CWMPPlayer4::SetRequestHeaders(const CMyString& strUserAgent, const CMyString& strReferrer)
{
    m_strUserAgent = WithoutControlCharacters(strUserAgent);
    m_strReferrer = WithoutControlCharacters(strReferrer);
}

void CWMPPlayer4::Play()
{
    if (m_pMpv == nullptr || m_strURL.IsEmpty())
        return;
    if (m_nPlayState == PLAY_STATE_PAUSED)
    {
        int nFlag = 0;
        Checked(mpv_set_property(m_pMpv.get(), "pause", MPV_FORMAT_FLAG, &nFlag), "set", "pause");
        return;
    }
    if (m_nPlayState == PLAY_STATE_PLAYING || m_nPlayState == PLAY_STATE_BUFFERING ||
        m_nPlayState == PLAY_STATE_WAITING || m_nPlayState == PLAY_STATE_TRANSITIONING)
        return;
    StartLoading();
}

void CWMPPlayer4::Pause()
{
    if (m_pMpv == nullptr || !m_bRunning)
        return;
    int nFlag = 1;
    Checked(mpv_set_property(m_pMpv.get(), "pause", MPV_FORMAT_FLAG, &nFlag), "set", "pause");
}

void CWMPPlayer4::Stop()
{
    if (m_pMpv == nullptr)
        return;
    // Synchronous: an asynchronous stop could overtake a following load.
    const char* args[] = {"stop", nullptr};
    Checked(mpv_command(m_pMpv.get(), args), "command", "stop");
    m_nEntryId = -1;
    m_bEntryStarted = false;
    m_bRunning = false;
    m_bLoadPending = false;
    LeaveFullScreen();
    SetState(PLAY_STATE_STOPPED, "Stopped");
}

void CWMPPlayer4::StartLoading()
{
    m_nEntryId = -1;
    m_bEntryStarted = false;
    m_bRunning = false;
    m_bFailurePending = false;
    m_strFailure.Empty();
    CMyString strStatus("Opening: ");
    strStatus += m_strURL;
    // A real video output needs the render context before the stream starts, or the engine
    // plays it without pictures; the surface gets its context once it is first shown.
    if (m_pSurface != nullptr && !m_pSurface->HasRenderContext())
    {
        SetState(PLAY_STATE_WAITING, strStatus);
        if (!m_bLoadPending)
        {
            m_bLoadPending = true;
            QTimer::singleShot(SURFACE_WAIT_MS, this,
                               [this]
                               {
                                   if (m_bLoadPending)
                                       LoadNow();
                               });
        }
        return;
    }
    SetState(PLAY_STATE_TRANSITIONING, strStatus);
    LoadNow();
}

void CWMPPlayer4::OnSurfaceReady()
{
    if (m_bLoadPending)
    {
        LoadNow();
        return;
    }
    // The surface moved to another window: bring the pictures of the running stream back.
    if (m_nEntryId >= 0)
    {
        const char* args[] = {"video-reload", nullptr};
        Checked(mpv_command_async(m_pMpv.get(), 0, args), "command", "video-reload");
    }
}

void CWMPPlayer4::LoadNow()
{
    m_bLoadPending = false;
    if (m_strURL.IsEmpty())
        return;
    int nFlag = 0;
    Checked(mpv_set_property(m_pMpv.get(), "pause", MPV_FORMAT_FLAG, &nFlag), "set", "pause");
    // The request headers go with the load as options of this stream alone: the engine drops
    // them when the stream ends, so the next stream starts with its own.
    char szUserAgent[] = "user-agent";
    char szReferrer[] = "referrer";
    char* apszKeys[2] = {};
    mpv_node options[2] = {};
    mpv_node_list optionList{};
    optionList.keys = apszKeys;
    optionList.values = options;
    if (!m_strUserAgent.IsEmpty())
    {
        apszKeys[optionList.num] = szUserAgent;
        options[optionList.num++] = StringNode(m_strUserAgent.GetBuffer());
    }
    if (!m_strReferrer.IsEmpty())
    {
        apszKeys[optionList.num] = szReferrer;
        options[optionList.num++] = StringNode(m_strReferrer.GetBuffer());
    }
    // Named arguments: the positions of loadfile's arguments differ between engine versions.
    char szName[] = "name";
    char szUrl[] = "url";
    char szFlags[] = "flags";
    char szOptions[] = "options";
    char* apszArgumentKeys[] = {szName, szUrl, szFlags, szOptions};
    mpv_node arguments[4] = {
        StringNode("loadfile"), StringNode(m_strURL.GetBuffer()), StringNode("replace"), {}};
    arguments[3].format = MPV_FORMAT_NODE_MAP;
    arguments[3].u.list = &optionList;
    mpv_node_list argumentList{};
    argumentList.num = 4;
    argumentList.values = arguments;
    argumentList.keys = apszArgumentKeys;
    mpv_node command{};
    command.format = MPV_FORMAT_NODE_MAP;
    command.u.list = &argumentList;
    mpv_node result{};
    if (Checked(mpv_command_node(m_pMpv.get(), &command, &result), "command", "loadfile") < 0)
    {
        CMyString strStatus("Failed: ");
        strStatus += "cannot open ";
        strStatus += m_strURL;
        SetState(PLAY_STATE_READY, strStatus);
        return;
    }
    // The entry's number tells this stream's events from those of an earlier one.
    if (result.format == MPV_FORMAT_NODE_MAP)
    {
        for (int nIndex = 0; nIndex < result.u.list->num; ++nIndex)
        {
            if (std::strcmp(result.u.list->keys[nIndex], "playlist_entry_id") == 0 &&
                result.u.list->values[nIndex].format == MPV_FORMAT_INT64)
                m_nEntryId = result.u.list->values[nIndex].u.int64;
        }
    }
    mpv_free_node_contents(&result);
    if (m_nPlayState != PLAY_STATE_TRANSITIONING)
        SetState(PLAY_STATE_TRANSITIONING, m_strStatus);
}

void CWMPPlayer4::ProcessEvents()
{
    if (m_pMpv == nullptr)
        return;
    for (;;)
    {
        const mpv_event* pEvent = mpv_wait_event(m_pMpv.get(), 0);
        if (pEvent == nullptr || pEvent->event_id == MPV_EVENT_NONE)
            break;
        HandleEvent(*pEvent);
    }
    if (m_bFailurePending)
    {
        ShowFailure();
        m_bFailurePending = false;
    }
}

void CWMPPlayer4::ShowFailure()
{
    CMyString strStatus("Failed: ");
    if (!m_strFailure.IsEmpty())
        strStatus += m_strFailure;
    else
        strStatus += mpv_error_string(m_nFailureError);
    SetState(PLAY_STATE_READY, strStatus);
}

void CWMPPlayer4::HandleEvent(const mpv_event& event)
{
    if (event.event_id != MPV_EVENT_LOG_MESSAGE)
        Trace("player: %s (current entry %lld)", mpv_event_name(event.event_id),
              static_cast<long long>(m_nEntryId));
    switch (event.event_id)
    {
    case MPV_EVENT_LOG_MESSAGE:
    {
        const auto* pMessage = static_cast<const mpv_event_log_message*>(event.data);
        NoteLogLine(pMessage->level, pMessage->prefix, pMessage->text);
        break;
    }
    case MPV_EVENT_START_FILE:
    {
        const auto* pStart = static_cast<const mpv_event_start_file*>(event.data);
        if (pStart->playlist_entry_id != m_nEntryId)
            break;
        m_bEntryStarted = true;
        m_bOpened = true;
        m_dDuration = 0;
        m_bSeekable = false;
        m_bFailurePending = false;
        m_strFailure.Empty();
        CMyString strStatus("Opening: ");
        strStatus += m_strURL;
        SetState(PLAY_STATE_TRANSITIONING, strStatus);
        break;
    }
    case MPV_EVENT_PLAYBACK_RESTART:
        if (!m_bEntryStarted)
            break;
        m_bRunning = true;
        UpdateRunningState();
        break;
    case MPV_EVENT_END_FILE:
    {
        const auto* pEnd = static_cast<const mpv_event_end_file*>(event.data);
        if (pEnd->playlist_entry_id != m_nEntryId)
            break;
        if (pEnd->reason == MPV_END_FILE_REASON_REDIRECT && pEnd->playlist_insert_id > 0)
        {
            // A playlist: its first entry is played in its place.
            m_nEntryId = pEnd->playlist_insert_id;
            m_bEntryStarted = false;
            break;
        }
        if (pEnd->reason == MPV_END_FILE_REASON_STOP || pEnd->reason == MPV_END_FILE_REASON_QUIT)
            break;
        m_bEntryStarted = false;
        m_bRunning = false;
        m_nEntryId = -1;
        LeaveFullScreen();
        if (pEnd->reason == MPV_END_FILE_REASON_EOF)
        {
            SetState(PLAY_STATE_MEDIA_ENDED, "Finished");
            break;
        }
        // The engine hands out log lines only after its other events, so the line that says
        // why may still be on its way: the status is composed again once all are read.
        m_bFailurePending = true;
        m_nFailureError = pEnd->error;
        ShowFailure();
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE:
    {
        const auto* pProperty = static_cast<const mpv_event_property*>(event.data);
        if (pProperty->data == nullptr)
            break;
        if (pProperty->format == MPV_FORMAT_FLAG)
        {
            const bool bValue = *static_cast<const int*>(pProperty->data) != 0;
            if (std::strcmp(pProperty->name, "paused-for-cache") == 0)
                m_bPausedForCache = bValue;
            else if (std::strcmp(pProperty->name, "pause") == 0)
                m_bPaused = bValue;
            else if (std::strcmp(pProperty->name, "seekable") == 0 && m_bEntryStarted)
                m_bSeekable = bValue;
        }
        else if (pProperty->format == MPV_FORMAT_DOUBLE &&
                 std::strcmp(pProperty->name, "duration") == 0 && m_bEntryStarted)
            m_dDuration = *static_cast<const double*>(pProperty->data);
        else if (pProperty->format == MPV_FORMAT_INT64 &&
                 std::strcmp(pProperty->name, "cache-buffering-state") == 0)
            m_nBufferPercent = *static_cast<const int64_t*>(pProperty->data);
        if (m_bRunning)
            UpdateRunningState();
        break;
    }
    default:
        break;
    }
}

void CWMPPlayer4::UpdateRunningState()
{
    if (m_bPausedForCache)
    {
        const int64_t nPercent = std::clamp<int64_t>(m_nBufferPercent, 0, 100);
        CMyString strStatus("Buffering: ");
        strStatus += std::to_string(nPercent).c_str();
        strStatus += "%";
        SetState(PLAY_STATE_BUFFERING, strStatus);
    }
    else if (m_bPaused)
        SetState(PLAY_STATE_PAUSED, "Paused");
    else
        SetState(PLAY_STATE_PLAYING, "Playing");
}

void CWMPPlayer4::NoteLogLine(const char* pszLevel, const char* pszPrefix, const char* pszText)
{
    if ((m_nEntryId < 0 && !m_bFailurePending) || pszText == nullptr || pszLevel == nullptr)
        return;
    const bool bError = std::strcmp(pszLevel, "error") == 0 || std::strcmp(pszLevel, "fatal") == 0;
    const std::string strText(pszText);
    // The HTTP reader reports its status as a warning; other warnings (such as the announced
    // reconnects) say nothing about why a stream failed.
    const bool bHttp = strText.find("HTTP error") != std::string::npos;
    if (!bError && !bHttp)
        return;
    // "Failed to open <url>" repeats what the status says already; keep a more precise cause.
    const bool bGeneric = pszPrefix != nullptr && std::strcmp(pszPrefix, "stream") == 0 &&
                          strText.rfind("Failed to open", 0) == 0;
    if (bGeneric && !m_strFailure.IsEmpty())
        return;
    const std::string strReason = ReasonOfLogLine(strText);
    if (!strReason.empty())
        m_strFailure = strReason.c_str();
}

void CWMPPlayer4::SetState(int32_t nState, const CMyString& strStatus)
{
    const bool bChanged = nState != m_nPlayState;
    m_nPlayState = nState;
    m_strStatus = strStatus;
    if (bChanged)
        emit PlayStateChanged(nState);
}

void CWMPPlayer4::SetMute(bool bMute)
{
    m_bMute = bMute;
    if (m_pMpv == nullptr)
        return;
    int nFlag = bMute ? 1 : 0;
    Checked(mpv_set_property(m_pMpv.get(), "mute", MPV_FORMAT_FLAG, &nFlag), "set", "mute");
}

bool CWMPPlayer4::GetMute() const
{
    if (m_pMpv == nullptr)
        return m_bMute;
    int nFlag = 0;
    if (mpv_get_property(m_pMpv.get(), "mute", MPV_FORMAT_FLAG, &nFlag) < 0)
        return m_bMute;
    return nFlag != 0;
}

void CWMPPlayer4::SetVolume(int32_t nVolume)
{
    m_nVolume = std::clamp<int32_t>(nVolume, 0, 100);
    if (m_pMpv == nullptr)
        return;
    double dVolume = m_nVolume;
    Checked(mpv_set_property(m_pMpv.get(), "volume", MPV_FORMAT_DOUBLE, &dVolume), "set", "volume");
}

int32_t CWMPPlayer4::GetVolume() const
{
    if (m_pMpv == nullptr)
        return m_nVolume;
    double dVolume = 0;
    if (mpv_get_property(m_pMpv.get(), "volume", MPV_FORMAT_DOUBLE, &dVolume) < 0)
        return m_nVolume;
    return static_cast<int32_t>(dVolume + 0.5);
}

void CWMPPlayer4::SetEnableContextMenu(bool bEnable)
{
    m_bEnableContextMenu = bEnable;
    const Qt::ContextMenuPolicy policy = bEnable ? Qt::DefaultContextMenu : Qt::NoContextMenu;
    setContextMenuPolicy(policy);
    if (m_pVideo != nullptr)
        m_pVideo->setContextMenuPolicy(policy);
}

void CWMPPlayer4::SetStretchToFit(bool bStretch)
{
    m_bStretchToFit = bStretch;
    if (m_pMpv != nullptr)
        Checked(mpv_set_property_string(m_pMpv.get(), "keepaspect", bStretch ? "no" : "yes"), "set",
                "keepaspect");
}

void CWMPPlayer4::SetFullScreen(bool bFullScreen)
{
    if (!bFullScreen)
    {
        LeaveFullScreen();
        return;
    }
    if (m_pVideo == nullptr || m_bFullScreen || m_nPlayState != PLAY_STATE_PLAYING)
        return;
    m_bFullScreen = true;
    // The picture leaves the player for a window of its own on the whole screen.
    layout()->removeWidget(m_pVideo);
    m_pVideo->setParent(nullptr);
    m_pVideo->setWindowFlag(Qt::FramelessWindowHint);
    // The screen's size is also given by hand for displays without a window manager, which
    // would otherwise leave the window at its old size.
    if (const QScreen* pScreen = screen())
        m_pVideo->setGeometry(pScreen->geometry());
    m_pVideo->showFullScreen();
    m_pVideo->activateWindow();
    m_pVideo->setFocus();
}

void CWMPPlayer4::LeaveFullScreen()
{
    if (!m_bFullScreen || m_pVideo == nullptr)
        return;
    m_bFullScreen = false;
    m_pVideo->showNormal();
    m_pVideo->setWindowFlag(Qt::FramelessWindowHint, false);
    m_pVideo->setParent(this);
    layout()->addWidget(m_pVideo);
    m_pVideo->show();
}

bool CWMPPlayer4::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pVideo && m_bFullScreen)
    {
        const bool bEscape = pEvent->type() == QEvent::KeyPress &&
                             static_cast<QKeyEvent*>(pEvent)->key() == Qt::Key_Escape;
        if (bEscape || pEvent->type() == QEvent::MouseButtonDblClick)
        {
            // Leaving reparents the widget that is handling this event: do it afterwards.
            QTimer::singleShot(0, this, [this] { LeaveFullScreen(); });
            return true;
        }
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

bool CWMPPlayer4::LaunchURL(const CMyString& strURL)
{
    if (strURL.IsEmpty())
        return false;
    return OpenPage(CMyString(), strURL);
}

CMyString CWMPPlayer4::GetEngineProperty(const char* pszName) const
{
    if (m_pMpv == nullptr || pszName == nullptr)
        return CMyString();
    char* pszValue = mpv_get_property_string(m_pMpv.get(), pszName);
    if (pszValue == nullptr)
        return CMyString();
    CMyString strValue(pszValue);
    mpv_free(pszValue);
    return strValue;
}
