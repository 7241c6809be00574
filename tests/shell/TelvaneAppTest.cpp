// The document and the application's start-up decisions in process. The installer's words and
// the program's own options run as processes in installer-words.sh.
#include "shell/TelvaneApp.h"
#include "TestSupport.h"
#include "config/Settings.h"
#include "platform/SingleInstanceLock.h"
#include "shell/MainFrame.h"
#include "shell/TelvaneDoc.h"
#include "text/TextTestSupport.h"

#include <functional>

namespace
{
// A view that records the hints it receives and can act on one of them.
class CRecordingView : public CDocumentView
{
public:
    void OnUpdate(CDocumentView*, intptr_t nHint, QObject* pHint) override
    {
        m_arrHints.push_back(nHint);
        m_pLastHint = pHint;
        if (m_onUpdate)
            m_onUpdate();
    }
    std::vector<intptr_t> m_arrHints;
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
    CKeyHint key(0x41);
    document.UpdateAllViews(&player, HINT_KEY, &key);
    EXPECT_EQ(tree.m_pLastHint->property(CKeyHint::KEY_PROPERTY).toUInt(), 0x41u);
    // A view that goes away while another one handles the hint is not called any more.
    document.AddView(&third);
    tree.m_onUpdate = [&] { document.RemoveView(&third); };
    document.UpdateAllViews(nullptr, 7);
    EXPECT_TRUE(third.m_arrHints.empty());
    EXPECT_EQ(document.GetView(2), nullptr);
}

using TelvaneAppStart = ScratchHome;

TEST_F(TelvaneAppStart, PlainStartHoldsTheLockAndReopenStartsAnyway)
{
    Settings().SetCopySettings(false);
    {
        CTelvaneApp app({"orvanta", "some-file.txt"});
        ASSERT_TRUE(app.InitInstance());
        EXPECT_TRUE(app.HoldsInstanceLock());
        ASSERT_NE(app.GetMainFrame(), nullptr);
        EXPECT_EQ(Text(Settings().GetProgramVersion()), "1.18");
        Settings().SetProgramVersion("");
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
}
} // namespace
