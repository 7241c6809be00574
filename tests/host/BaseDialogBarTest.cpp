// The dialog-bar base: creation as a child, then the data exchange, and the derived answer.
#include "host/BaseDialogBar.h"

#include <gtest/gtest.h>

namespace
{
class CCountingBar : public BaseDialogBar
{
public:
    int m_nExchanges = 0;
    QWidget* m_pParentAtExchange = nullptr;

protected:
    void DoDataExchange() override
    {
        ++m_nExchanges;
        m_pParentAtExchange = parentWidget();
    }
};

class CRefusingBar : public CCountingBar
{
public:
    bool OnInitDialogBar() override
    {
        CCountingBar::OnInitDialogBar();
        return false;
    }
};

TEST(BaseDialogBarTest, CreateMakesAChildThenExchangesData)
{
    QWidget frame;
    CCountingBar bar;
    ASSERT_TRUE(bar.Create(&frame, 144u, 0x2000u, 59393u));
    EXPECT_EQ(bar.parentWidget(), &frame);
    EXPECT_EQ(bar.m_nExchanges, 1);
    EXPECT_EQ(bar.m_pParentAtExchange, &frame); // the controls exist when they are bound
    EXPECT_EQ(bar.GetTemplateId(), 144u);
    EXPECT_EQ(bar.GetBarStyle(), 0x2000u);
    EXPECT_EQ(bar.GetControlId(), 59393u);
    bar.setParent(nullptr);

    CCountingBar named;
    ASSERT_TRUE(named.Create(&frame, "IDD_SEARCH_BAR", 0u, 7u));
    EXPECT_EQ(named.GetTemplateName(), "IDD_SEARCH_BAR");
    EXPECT_EQ(named.m_nExchanges, 1);
    named.setParent(nullptr);
}

TEST(BaseDialogBarTest, FailuresAreAnswered)
{
    CCountingBar orphan;
    EXPECT_FALSE(orphan.Create(nullptr, 144u, 0u, 1u));
    EXPECT_EQ(orphan.m_nExchanges, 0);

    // A derived bar's answer from its initialisation is Create's answer.
    QWidget frame;
    CRefusingBar refusing;
    EXPECT_FALSE(refusing.Create(&frame, 144u, 0u, 1u));
    EXPECT_EQ(refusing.m_nExchanges, 1);
    refusing.setParent(nullptr);
}
} // namespace
