// The embedded web view loads a page from a server on 127.0.0.1.
#include "host/WebBrowser2.h"

#include "TestSupport.h"

#include <httplib.h>

#include <QSignalSpy>

#include <string>
#include <thread>

namespace
{
TEST(WebBrowserTest, NavigatesToAServedPageWithoutContextMenu)
{
#ifdef ORVANTA_SANITIZED_BUILD
    GTEST_SKIP() << "the web engine trips the sanitizers inside its own code";
#endif
    httplib::Server server;
    server.Get("/start.html", [](const httplib::Request&, httplib::Response& response)
               { response.set_content("<title>Start page</title>Welcome", "text/html"); });
    const int nPort = server.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { server.listen_after_bind(); });
    {
        QWidget parent;
        CWebBrowser2 browser(&parent);
        EXPECT_EQ(browser.contextMenuPolicy(), Qt::NoContextMenu);
        parent.show();
        QSignalSpy loaded(&browser, &QWebEngineView::loadFinished);
        browser.Navigate(""); // ignored: only the served page loads
        browser.Navigate(("http://127.0.0.1:" + std::to_string(nPort) + "/start.html").c_str());
        EXPECT_TRUE(PumpEventsUntil([&] { return !loaded.isEmpty(); }, 60));
        EXPECT_TRUE(!loaded.isEmpty() && loaded.first().first().toBool());
        EXPECT_EQ(browser.title(), "Start page");
        browser.SetVisible(false);
        EXPECT_FALSE(browser.GetVisible());
    }
    server.stop();
    thread.join();
}
} // namespace
