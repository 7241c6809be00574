#pragma once

// An HTTP server on 127.0.0.1 answering by path: "/body" is one growth step of a download
// buffer, "/echo/X" "job X", "/headers" the request's agent and caching headers, "/bad/KIND/..."
// misbehaves (see Misbehave), any ".../lists/UpdateSettings.txt" names News.txt, anything else is
// empty. "?status=N" sets the status; "?hold", and files below "/held/" but the description,
// wait until the server is released.

#include "TestSupport.h"
#include "config/FileHandler.h"
#include "config/Settings.h"
#include "net/MyDownload.h"
#include "platform/WindowMessage.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>

class CTestHttpServer
{
public:
    CTestHttpServer()
    {
        for (uint32_t i = 0; i < CMyBuffer::GROW_BY; ++i)
            m_body += static_cast<char>('a' + i % 23);
        m_server.Get(".*", [this](const httplib::Request& request, httplib::Response& response)
                     { Serve(request, response); });
        m_nPort = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::yield();
    }
    ~CTestHttpServer()
    {
        Release();
        m_server.stop();
        m_thread.join();
    }
    std::string Url(const std::string& strPath) const
    {
        return "http://127.0.0.1:" + std::to_string(m_nPort) + strPath;
    }
    const std::string& Body() const { return m_body; }
    void Release() { m_bReleased = true; }
    int HeldAnswers() const { return m_nHeldAnswers; }

private:
    void Serve(const httplib::Request& request, httplib::Response& response)
    {
        const std::string& strPath = request.path;
        if (strPath.starts_with("/bad/") && !strPath.ends_with("/lists/UpdateSettings.txt"))
            return Misbehave(strPath.substr(5, strPath.find('/', 5) - 5), response);
        std::string body;
        if (strPath == "/body")
            body = m_body;
        else if (strPath.starts_with("/echo/"))
            body = "job " + strPath.substr(6);
        else if (strPath == "/headers")
            for (const char* pszName : {"User-Agent", "Accept", "Cache-Control", "Pragma"})
                body += request.get_header_value(pszName) + "|";
        else if (strPath.ends_with("/lists/UpdateSettings.txt"))
            body = "<U><CATEGORY><VERSION>2.0</VERSION><NAME>News.txt</NAME></CATEGORY></U>";
        if (request.has_param("status"))
            response.status = std::stoi(request.get_param_value("status"));
        const bool bHeld =
            request.has_param("hold") || (strPath.starts_with("/held/") && body.empty());
        while (bHeld && !m_bReleased)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        m_nHeldAnswers += bHeld ? 1 : 0;
        response.set_content(body, "text/plain");
    }
    // "root_only" is a list without entries; "truncated" announces more than it sends;
    // "trickle" sends a byte every half second.
    void Misbehave(const std::string& kind, httplib::Response& response)
    {
        if (kind == "missing")
            response.status = 404;
        else if (kind == "redirect_loop")
            response.set_redirect("/bad/redirect_loop/again");
        else if (kind == "empty" || kind == "not_a_list" || kind == "root_only")
            response.set_content(kind == "empty"        ? ""
                                 : kind == "not_a_list" ? CFileHandler::Scramble("just some text")
                                                        : CFileHandler::Scramble("<L></L>"),
                                 "text/plain");
        else if (kind == "huge") // streamed, so that even a slow build sends it at once
            response.set_content_provider(
                70 * 1024 * 1024, "text/plain",
                [this](size_t, size_t uLength, httplib::DataSink& sink)
                { return sink.write(m_body.data(), std::min(uLength, m_body.size())); });
        else if (kind == "truncated")
            response.set_content_provider(1000, "text/plain",
                                          [](size_t, size_t, httplib::DataSink& sink)
                                          {
                                              sink.write("<L><I>", 6);
                                              return false;
                                          });
        else
            response.set_chunked_content_provider(
                "text/plain",
                [this, kind](size_t, httplib::DataSink& sink)
                {
                    if (m_bReleased)
                        return false;
                    if (kind == "endless")
                        return sink.write(m_body.data(), m_body.size());
                    std::this_thread::sleep_for(std::chrono::milliseconds(500));
                    return kind == "stall" || sink.write("x", 1);
                });
    }

    std::string m_body;
    std::atomic<bool> m_bReleased{false};
    std::atomic<int> m_nHeldAnswers{0};
    httplib::Server m_server;
    int m_nPort = 0;
    std::thread m_thread;
};

// Download jobs' answers: cookie (lParam) to result (wParam), recorded in a list that outlives
// the receiver.
using Answers = std::multimap<intptr_t, uintptr_t>;
struct CAnswerRecorder : QObject
{
    explicit CAnswerRecorder(Answers& answers) : m_answers(answers) {}
    bool event(QEvent* pEvent) override
    {
        const CWindowMessageEvent* pMessage = CWindowMessageEvent::FromEvent(pEvent);
        if (pMessage != nullptr)
            m_answers.emplace(pMessage->GetLParam(), pMessage->GetWParam());
        return pMessage != nullptr || QObject::event(pEvent);
    }
    Answers& m_answers;
};

// A scratch home for the update: its server list names a dead server first, then the given one.
class ListsHome : public ScratchHome
{
protected:
    void UseServers(const std::string& strUrl) const
    {
        Write("data/ORVANTA/res/ServerSettings.txt",
              CFileHandler::Scramble("<L><URL>" + CLocalSocket(-1).Url("/lists/") + "</URL><URL>" +
                                     strUrl + "</URL></L>"));
    }
    std::string ResFile(const std::string& strName) const
    {
        return Read("data/ORVANTA/res/" + strName);
    }

    Settings m_settings;
};
