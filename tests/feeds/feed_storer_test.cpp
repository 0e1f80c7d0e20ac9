#include "feeds/feed_storer.h"

#include <gtest/gtest.h>

TEST(FeedStorer, CleansTitlesInTheirFixedOrder) {
    struct Case {
        const char* title;
        const char* cleaned;
    };
    const Case cases[] = {
        {"&quot;Hi&quot; there", ";Hi; there"},
        {"<b>bold</b> and <B>not</B>", "bold and <B>not</B>"},
        {"It's", "Its"},
        // "&quot" goes first, so pieces that only meet after a later removal stay.
        {"&qu<b>ot", "&quot"},
        {"足球&quot;新闻", "足球;新闻"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CleanTitle(c.title), c.cleaned) << c.title;
    }
    EXPECT_EQ(CleanDescription("<p>It's &quot;<b>x</b>&quot;</p>"),
              "<p>Its &quot;<b>x</b>&quot;</p>");
}
