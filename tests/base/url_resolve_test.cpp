#include "base/url_resolve.h"

#include <gtest/gtest.h>

// A page's links made absolute as a browser makes them.
TEST(ResolveAddress, MakesAPagesReferencesAbsoluteAsABrowserDoes) {
    const char* base = "http://blog.example.test/2024/03/post.html?page=2#top";
    const std::pair<const char*, const char*> cases[] = {
        {"https://other.test/feed.xml", "https://other.test/feed.xml"},
        {"//cdn.example.test/atom.xml", "http://cdn.example.test/atom.xml"},
        {"/feed.xml", "http://blog.example.test/feed.xml"},
        {"feed.json", "http://blog.example.test/2024/03/feed.json"},
        {"./rss/", "http://blog.example.test/2024/03/rss/"},
        {"../../index.xml", "http://blog.example.test/index.xml"},
        {"../../../../too-far.xml", "http://blog.example.test/too-far.xml"},
        {"?format=rss", "http://blog.example.test/2024/03/post.html?format=rss"},
        {"feed.xml?a=1&b=2#frag", "http://blog.example.test/2024/03/feed.xml?a=1&b=2"},
        {"  /spaced.xml ", "http://blog.example.test/spaced.xml"},
        {"", "http://blog.example.test/2024/03/post.html?page=2"},
    };
    for (const auto& [reference, expected] : cases) {
        EXPECT_EQ(ResolveAddress(base, reference), expected) << reference;
    }
    // A site address without a path, and a local page, which resolves only whole addresses.
    EXPECT_EQ(ResolveAddress("https://site.test", "feed"), "https://site.test/feed");
    EXPECT_EQ(ResolveAddress("https://site.test?x=1", "/a"), "https://site.test/a");
    EXPECT_EQ(ResolveAddress("/home/u/page.html", "feed.xml"), "");
    EXPECT_EQ(ResolveAddress("/home/u/page.html", "http://a.test/f"), "http://a.test/f");
}
