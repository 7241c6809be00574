#include "host/BaseDialogBar.h"

#include <gtest/gtest.h>

namespace
{
// Counts its data exchanges and refuses its initialisation when told to.
class CCountingBar : public BaseDialogBar
{
public:
    bool OnInitDialogBar() override { return BaseDialogBar::OnInitDialogBar() && !m_bRefuse; }
    bool m_bRefuse = false;
    int m_nExchanges = 0;
    QWidget* m_pParentAtExchange = nullptr;

protected:
    void DoDataExchange() override
    {
        ++m_nExchanges;
        m_pParentAtExchange = parentWidget();
    }
};

TEST(BaseDialogBarTest, CreateMakesAChildThenExchangesDataOnceAndAnswersTheDerivedBar)
{
    QWidget frame;
    CCountingBar bars[4];
    ASSERT_TRUE(bars[0].Create(&frame, 144u, 0x2000u, 59393u));
    ASSERT_TRUE(bars[1].Create(&frame, "IDD_SEARCH_BAR", 0u, 7u));
    for (int i = 0; i < 2; ++i)
    {
        EXPECT_EQ(bars[i].parentWidget(), &frame);
        EXPECT_EQ(bars[i].m_nExchanges, 1);
        EXPECT_EQ(bars[i].m_pParentAtExchange, &frame); // the controls exist when bound
    }
    // No parent: no bar and no exchange. A derived bar's refusal is Create's answer.
    EXPECT_FALSE(bars[2].Create(nullptr, 144u, 0u, 1u));
    EXPECT_EQ(bars[2].m_nExchanges, 0);
    bars[3].m_bRefuse = true;
    EXPECT_FALSE(bars[3].Create(&frame, 144u, 0u, 1u));
    EXPECT_EQ(bars[3].m_nExchanges, 1);
}
} // namespace
