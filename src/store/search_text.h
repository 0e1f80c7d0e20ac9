#pragma once

#include <string>
#include <string_view>

// The text a reader sees of a stored description, which is the feed's HTML: tags and
// comments removed (a tag that breaks the line, such as <p> or <br>, leaves a line break; a
// comment a space; an inline tag, such as <b> or <a>, nothing), the content of script and style
// elements dropped, and character references (&amp;, &#20013;, &#x4E2D; and HTML 4's names)
// replaced by their characters. A "<" that starts no tag, and a reference that names no character,
// stay as they are. The search index reads descriptions this way.
std::string SearchTextOfHtml(std::string_view html);
