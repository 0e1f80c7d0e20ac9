-- A small store for the search tests: items of every age, Chinese and English, markup and
-- character references in the descriptions. Dates count back from today; item 8 has none.
INSERT INTO channel (ID, rss_title) VALUES (1, '体育'), (2, 'Tech');
INSERT INTO item (ID, rss_channelID, rss_title, rss_description, rss_pubDate) VALUES
 (1, 1, '中国足球超级联赛开幕', '<p>本赛季的<b>中</b><b>超</b>联赛&nbsp;今天开幕</p>', date('now')),
 (2, 1, '足球', '', date('now', '-1 days')),
 (3, 1, '篮球新闻', '足&#29699;场上的故事', date('now', '-5 days')),
 (4, 2, 'Apple launches new iPhone', 'The &lt;b&gt;iPhone&lt;/b&gt; 15 &amp; more', date('now', '-8 days')),
 (5, 2, 'APPLE pie recipe', '<a href="http://apple.test/">baking</a> with apples', date('now', '-40 days')),
 (6, 1, '球迷的狂欢', '<script>var 足球 = 1;</script><style>.x{}</style>赛后', date('now', '-200 days')),
 (7, 2, 'News digest', '<!-- 足球 comment -->Weekly<br>新闻汇总', date('now', '-800 days')),
 (8, 2, '无日期的新闻', 'text with Ｆｕｌｌｗｉｄｔｈ letters', 'someday'),
 (9, 1, '中超', '足 球 分开写，1 < 2', date('now', '-2 days')),
 (10, 2, 'Weekly news', 'iPhone&#x4E2D;国版', date('now')),
 (11, 2, 'Москва: Ünïcode', 'ΑΘΗΝΑ ΚΑΙ ΠΑΡΙΣ, Don''t panic', date('now', '-3 days')),
 (12, 2, 'Don’t stop', 'ÉCOLE', date('now', '-4 days'));
