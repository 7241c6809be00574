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
    server.Get("/start.html",
               [](const httplib::Request&, httplib::Response& response)
               {
                   response.set_content("<html><head><title>Start page</title></head>"
                                        "<body>Welcome</body></html>",
                                        "text/html");
               });
    const int nPort = server.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::yield();

    {
        QWidget parent;
        parent.resize(400, 300);
        CWebBrowser2 browser(&parent);
        EXPECT_EQ(browser.objectName(), "explorer");
        EXPECT_EQ(browser.contextMenuPolicy(), Qt::NoContextMenu);
        parent.show();
        browser.put_Visible(true);
        EXPECT_TRUE(browser.GetVisible());

        QSignalSpy loaded(&browser, &QWebEngineView::loadFinished);
        browser.Navigate("");
        browser.Navigate(("http://127.0.0.1:" + std::to_string(nPort) + "/start.html").c_str());
        ASSERT_TRUE(PumpEventsUntil([&] { return !loaded.isEmpty(); }, 60));
        EXPECT_TRUE(loaded.first().first().toBool());
        EXPECT_EQ(browser.title(), "Start page");

        browser.SetVisible(false);
        EXPECT_FALSE(browser.GetVisible());
    }
    server.stop();
    thread.join();
}
} // namespace
