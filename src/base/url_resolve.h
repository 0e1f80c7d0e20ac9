#pragma once

#include <string>
#include <string_view>

// `reference` (an href as a page writes it) made absolute against the page's address `base`,
// as a browser resolves it: an address with a scheme stays as it is; "//host/..." takes the
// base's scheme; "/path" its scheme and host; "?query" its path; anything else goes beside
// the last "/" of the base's path, with "." and ".." steps taken. A fragment is dropped. A
// `base` that is no http or https address only takes references with a scheme; the others
// give "".
std::string ResolveAddress(std::string_view base, std::string_view reference);
