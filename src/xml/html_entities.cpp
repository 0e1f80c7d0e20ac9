#include "xml/html_entities.h"

#include <array>
#include <string>
#include <unordered_map>

#include "base/ascii.h"

namespace {

// U+00A0 to U+00FF, in code point order.
constexpr std::array<std::string_view, 96> kLatin1 = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

// U+0391 to U+03A9 and U+03B1 to U+03C9; U+03A2 has no letter.
constexpr std::array<std::string_view, 25> kGreekCapitals = {
    "Alpha", "Beta",   "Gamma",   "Delta", "Epsilon", "Zeta",    "Eta",   "Theta", "Iota",
    "Kappa", "Lambda", "Mu",      "Nu",    "Xi",      "Omicron", "Pi",    "Rho",   "",
    "Sigma", "Tau",    "Upsilon", "Phi",   "Chi",     "Psi",     "Omega",
};
constexpr std::array<std::string_view, 25> kGreekSmall = {
    "alpha", "beta",   "gamma",   "delta", "epsilon", "zeta",    "eta",   "theta", "iota",
    "kappa", "lambda", "mu",      "nu",    "xi",      "omicron", "pi",    "rho",   "sigmaf",
    "sigma", "tau",    "upsilon", "phi",   "chi",     "psi",     "omega",
};

struct Named {
    std::string_view name;
    char32_t codePoint;
};

// The rest of HTML 4's symbols and special characters.
constexpr Named kOthers[] = {
    {"quot", 0x22},      {"amp", 0x26},      {"lt", 0x3C},        {"gt", 0x3E},
    {"OElig", 0x152},    {"oelig", 0x153},   {"Scaron", 0x160},   {"scaron", 0x161},
    {"Yuml", 0x178},     {"fnof", 0x192},    {"circ", 0x2C6},     {"tilde", 0x2DC},
    {"thetasym", 0x3D1}, {"upsih", 0x3D2},   {"piv", 0x3D6},      {"ensp", 0x2002},
    {"emsp", 0x2003},    {"thinsp", 0x2009}, {"zwnj", 0x200C},    {"zwj", 0x200D},
    {"lrm", 0x200E},     {"rlm", 0x200F},    {"ndash", 0x2013},   {"mdash", 0x2014},
    {"lsquo", 0x2018},   {"rsquo", 0x2019},  {"sbquo", 0x201A},   {"ldquo", 0x201C},
    {"rdquo", 0x201D},   {"bdquo", 0x201E},  {"dagger", 0x2020},  {"Dagger", 0x2021},
    {"bull", 0x2022},    {"hellip", 0x2026}, {"permil", 0x2030},  {"prime", 0x2032},
    {"Prime", 0x2033},   {"lsaquo", 0x2039}, {"rsaquo", 0x203A},  {"oline", 0x203E},
    {"frasl", 0x2044},   {"euro", 0x20AC},   {"image", 0x2111},   {"weierp", 0x2118},
    {"real", 0x211C},    {"trade", 0x2122},  {"alefsym", 0x2135}, {"larr", 0x2190},
    {"uarr", 0x2191},    {"rarr", 0x2192},   {"darr", 0x2193},    {"harr", 0x2194},
    {"crarr", 0x21B5},   {"lArr", 0x21D0},   {"uArr", 0x21D1},    {"rArr", 0x21D2},
    {"dArr", 0x21D3},    {"hArr", 0x21D4},   {"forall", 0x2200},  {"part", 0x2202},
    {"exist", 0x2203},   {"empty", 0x2205},  {"nabla", 0x2207},   {"isin", 0x2208},
    {"notin", 0x2209},   {"ni", 0x220B},     {"prod", 0x220F},    {"sum", 0x2211},
    {"minus", 0x2212},   {"lowast", 0x2217}, {"radic", 0x221A},   {"prop", 0x221D},
    {"infin", 0x221E},   {"ang", 0x2220},    {"and", 0x2227},     {"or", 0x2228},
    {"cap", 0x2229},     {"cup", 0x222A},    {"int", 0x222B},     {"there4", 0x2234},
    {"sim", 0x223C},     {"cong", 0x2245},   {"asymp", 0x2248},   {"ne", 0x2260},
    {"equiv", 0x2261},   {"le", 0x2264},     {"ge", 0x2265},      {"sub", 0x2282},
    {"sup", 0x2283},     {"nsub", 0x2284},   {"sube", 0x2286},    {"supe", 0x2287},
    {"oplus", 0x2295},   {"otimes", 0x2297}, {"perp", 0x22A5},    {"sdot", 0x22C5},
    {"lceil", 0x2308},   {"rceil", 0x2309},  {"lfloor", 0x230A},  {"rfloor", 0x230B},
    {"lang", 0x2329},    {"rang", 0x232A},   {"loz", 0x25CA},     {"spades", 0x2660},
    {"clubs", 0x2663},   {"hearts", 0x2665}, {"diams", 0x2666},
};

using EntityMap = std::unordered_map<std::string_view, char32_t>;

EntityMap BuildMap() {
    EntityMap map;
    for (std::size_t i = 0; i < kLatin1.size(); ++i) {
        map.emplace(kLatin1[i], static_cast<char32_t>(0xA0 + i));
    }
    for (std::size_t i = 0; i < kGreekCapitals.size(); ++i) {
        if (!kGreekCapitals[i].empty()) {
            map.emplace(kGreekCapitals[i], static_cast<char32_t>(0x391 + i));
        }
        map.emplace(kGreekSmall[i], static_cast<char32_t>(0x3B1 + i));
    }
    for (const Named& named : kOthers) {
        map.emplace(named.name, named.codePoint);
    }
    return map;
}

}  // namespace

char32_t HtmlEntityCodePoint(std::string_view name) {
    static const EntityMap map = BuildMap();
    const auto found = map.find(name);
    return found == map.end() ? 0 : found->second;
}

char32_t HtmlReferenceAt(std::string_view html, std::size_t start, std::size_t* length) {
    const std::size_t semicolon = html.find(';', start + 1);
    if (semicolon == std::string_view::npos || semicolon - start > 12) {
        return 0;
    }
    const std::string_view body = html.substr(start + 1, semicolon - start - 1);
    char32_t value = 0;
    if (body.size() >= 2 && body[0] == '#') {
        const bool hex = body[1] == 'x' || body[1] == 'X';
        const std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty()) {
            return 0;
        }
        for (char c : digits) {
            const char lower = AsciiLower(c);
            int digit = -1;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (hex && lower >= 'a' && lower <= 'f') {
                digit = lower - 'a' + 10;
            }
            if (digit < 0 || value > 0x10FFFF) {
                return 0;
            }
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        }
    } else {
        value = body == "apos" ? U'\'' : HtmlEntityCodePoint(body);
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *length = semicolon - start + 1;
    return value;
}
