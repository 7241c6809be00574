// The document, the application's start-up decisions in process, and the program's own
// command-line option as a process. The whole-program test covers "install" and a second start
// of the real program.
#include "shell/TelvaneApp.h"
#include "text/TextTestSupport.h"

#include "ListServer.h"
#include "TestSupport.h"
#include "config/FileHandler.h"
#include "config/Settings.h"
#include "platform/SingleInstanceLock.h"
#include "shell/MainFrame.h"
#include "shell/TelvaneDoc.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
// A view that records the hints it receives and can act on one of them.
class CRecordingView : public CDocumentView
{
public:
    void OnUpdate(CDocumentView* pSender, intptr_t nHint, QObject* pHint) override
    {
        m_arrHints.push_back(nHint);
        m_pLastSender = pSender;
        m_pLastHint = pHint;
        if (m_onUpdate)
            m_onUpdate();
    }
    std::vector<intptr_t> m_arrHints;
    CDocumentView* m_pLastSender = nullptr;
    QObject* m_pLastHint = nullptr;
    std::function<void()> m_onUpdate;
};

TEST(TelvaneDoc, HintsReachEveryViewButTheSender)
{
    CTelvaneDoc document;
    CRecordingView tree, player, third;
    document.AddView(&tree);
    document.AddView(&player);
    document.AddView(&player);
    document.AddView(nullptr);
    EXPECT_EQ(document.GetViewCount(), 2u);

    document.UpdateAllViews(&tree, HINT_PLAY);
    EXPECT_TRUE(tree.m_arrHints.empty());
    EXPECT_EQ(player.m_arrHints, std::vector<intptr_t>{HINT_PLAY});
    EXPECT_EQ(player.m_pLastSender, &tree);

    CKeyHint key(0x41);
    document.UpdateAllViews(&player, HINT_KEY, &key);
    EXPECT_EQ(tree.m_pLastHint, &key);
    EXPECT_EQ(tree.m_pLastHint->property(CKeyHint::KEY_PROPERTY).toUInt(), 0x41u);

    // A view that goes away while another one handles the hint is not called any more.
    document.AddView(&third);
    tree.m_onUpdate = [&] { document.RemoveView(&third); };
    document.UpdateAllViews(nullptr, 7);
    EXPECT_TRUE(third.m_arrHints.empty());
    EXPECT_EQ(document.GetViewCount(), 2u);
    document.RemoveView(&third);
    EXPECT_EQ(document.GetView(2), nullptr);
}

TEST(TelvaneApp, CommandLineWordAndTitle)
{
    EXPECT_EQ(Text(CTelvaneApp::GetCommandLineWord({"orvanta"})), "");
    EXPECT_EQ(Text(CTelvaneApp::GetCommandLineWord({"orvanta", "-x", "", "Install", "b"})),
              "Install");
    EXPECT_EQ(Text(CTelvaneApp::MakeWindowTitle(CMyString("1.18"))), "ORVANTA - 1.18");
    EXPECT_EQ(Text(CTelvaneApp::MakeWindowTitle(CMyString())), "ORVANTA");
}

// A fresh account with a stand-in default browser: "xdg-settings" in PATH names a desktop entry
// whose program records its arguments in the file "opened".
class TelvaneAppStart : public ScratchHome
{
protected:
    void SetUp() override
    {
        ScratchHome::SetUp();
        m_strOldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
        Write("bin/browser", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.tmp\"\nmv \"$0.tmp\" \"" +
                                 Path("opened") + "\"\n");
        Write("data/applications/stand-in.desktop",
              "[Desktop Entry]\nType=Application\nExec=" + Path("bin/browser") + " %u\n");
        Write("bin/xdg-settings", "#!/bin/sh\necho stand-in.desktop\n");
        chmod(Path("bin/browser").c_str(), 0755);
        chmod(Path("bin/xdg-settings").c_str(), 0755);
        setenv("PATH", (Path("bin") + ":" + m_strOldPath).c_str(), 1);
    }
    void TearDown() override
    {
        setenv("PATH", m_strOldPath.c_str(), 1);
        ScratchHome::TearDown();
    }
    void WriteServerList(const std::string& strUrls)
    {
        Write("data/ORVANTA/res/ServerSettings.txt",
              CFileHandler::Scramble("<SERVER_SETTINGS>" + strUrls + "</SERVER_SETTINGS>"));
    }
    // What the stand-in browser was given, waiting up to nMs for it to run; the record goes.
    std::string Opened(int nMs = 5000) const
    {
        for (int i = 0; i < nMs / 10 && access(Path("opened").c_str(), F_OK) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::string strOpened = Read("opened");
        std::remove(Path("opened").c_str());
        return strOpened;
    }

    std::string m_strOldPath;
};

TEST_F(TelvaneAppStart, InstallerWordsOpenTheirPageOnTheFirstServerThatAnswers)
{
    CListServer server(
        {{"InstallPageOrvanta.htm", "install"}, {"UninstallPageOrvanta.htm", "uninstall"}});
    const CLocalSocket refused(-1);
    WriteServerList("<URL>" + refused.Url("/") + "</URL><URL>" + server.Url() + "</URL>");

    CTelvaneApp app({"orvanta", "Uninstall"});
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.GetMainFrame(), nullptr);
    EXPECT_FALSE(app.HoldsInstanceLock());
    EXPECT_EQ(Text(g_strBrowserExe), Path("bin/browser"));
    EXPECT_EQ(Opened(), server.Url() + "UninstallPageOrvanta.htm\n");
    EXPECT_FALSE(CTelvaneApp({"orvanta", "INSTALL"}).InitInstance());
    EXPECT_EQ(Opened(), server.Url() + "InstallPageOrvanta.htm\n");

    // No server answers: nothing opens.
    WriteServerList("<URL>" + refused.Url("/") + "</URL>");
    CTelvaneApp offline({"orvanta", "install"});
    EXPECT_FALSE(offline.InitInstance());
    EXPECT_EQ(Text(offline.FindReachableServerUrl(CMyString("InstallPageOrvanta.htm"))), "");
    EXPECT_EQ(Opened(300), "");
    // With no desktop browser named, the fallback opener is chosen.
    setenv("PATH", "/nonexistent", 1);
    EXPECT_FALSE(CTelvaneApp({"orvanta", "install"}).InitInstance());
    EXPECT_EQ(Text(g_strBrowserExe), "xdg-open");
}

TEST_F(TelvaneAppStart, PlainStartHoldsTheLockASecondEndsQuietlyAndReopenStartsAnyway)
{
    Settings().SetCopySettings(false);
    {
        CTelvaneApp app({"orvanta", "some-file.txt"});
        ASSERT_TRUE(app.InitInstance());
        EXPECT_TRUE(app.HoldsInstanceLock());
        ASSERT_NE(app.GetMainFrame(), nullptr);
        ASSERT_NE(app.GetMainFrame()->GetTreeView(), nullptr);
        EXPECT_EQ(Text(Settings().GetProgramVersion()), "1.18");
        Settings().SetProgramVersion("");

        CTelvaneApp second({"orvanta", "movie.asx"});
        EXPECT_FALSE(second.InitInstance());
        EXPECT_EQ(second.GetMainFrame(), nullptr);
        EXPECT_EQ(Text(Settings().GetProgramVersion()), "");

        CTelvaneApp reopened({"orvanta", "REOPEN"});
        ASSERT_TRUE(reopened.InitInstance());
        EXPECT_FALSE(reopened.HoldsInstanceLock());
        ASSERT_NE(reopened.GetMainFrame(), nullptr);
        EXPECT_TRUE(reopened.GetMainFrame()->isVisible());
        EXPECT_EQ(reopened.GetMainFrame()->windowTitle(), "ORVANTA - 1.18");
        EXPECT_EQ(Text(Settings().GetProgramVersion()), "1.18");
    }
    // The lock goes with the application that held it.
    CSingleInstanceLock after;
    EXPECT_TRUE(after.Acquire(CMyString(CTelvaneApp::MUTEX_NAME)));
    EXPECT_EQ(Opened(0), "");
}

TEST_F(TelvaneAppStart, SetInstallPathRecordsAnAbsoluteFolderAndRefusesAMissingOne)
{
    // The real program as a process: its exit code, -1 when it did not end by itself.
    const auto run = [](const QStringList& arrArguments)
    {
        QProcess process;
        process.start(ORVANTA_PROGRAM, arrArguments);
        if (process.waitForFinished(20000))
            return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        process.kill();
        process.waitForFinished();
        return -1;
    };
    Write("install/res/ServerSettings.txt", "");
    const std::string strOld = std::filesystem::current_path();
    std::filesystem::current_path(m_root);
    EXPECT_EQ(run({"--set-install-path", "install"}), 0);
    std::filesystem::current_path(strOld);
    EXPECT_EQ(Text(Settings().GetInstallPath()), Path("install"));

    EXPECT_EQ(run({"--set-install-path", Path("missing").c_str()}), 1);
    EXPECT_EQ(Text(Settings().GetInstallPath()), Path("install"));
}
} // namespace
