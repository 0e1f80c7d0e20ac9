#include "base/charset.h"

#include <iconv.h>

#include <cerrno>

#include "base/ascii.h"
#include "base/text_util.h"

namespace {

class IconvHandle {
public:
    IconvHandle(const char* from, const char* to) : m_handle(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid()) {
            iconv_close(m_handle);
        }
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_handle; }

private:
    iconv_t m_handle;
};

}  // namespace

bool ConvertCharset(const char* from, const char* to, std::string_view input, std::string* output) {
    IconvHandle converter(from, to);
    if (!converter.valid()) {
        return false;
    }
    output->clear();
    std::string chunk(4 * input.size() + 16, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    while (true) {
        char* out = chunk.data();
        std::size_t outLeft = chunk.size();
        const std::size_t rc =
            iconv(converter.get(), inLeft > 0 ? &in : nullptr, &inLeft, &out, &outLeft);
        output->append(chunk.data(), chunk.size() - outLeft);
        if (rc != static_cast<std::size_t>(-1)) {
            if (inLeft == 0) {
                // Flush any shift state.
                out = chunk.data();
                outLeft = chunk.size();
                iconv(converter.get(), nullptr, nullptr, &out, &outLeft);
                output->append(chunk.data(), chunk.size() - outLeft);
                return true;
            }
            continue;
        }
        if (errno != E2BIG) {
            return false;
        }
    }
}

std::string DecodingCharsetFor(std::string_view label) {
    static constexpr std::string_view kGbLabels[] = {
        "gb2312", "gbk",      "gb18030",    "x-gbk",   "cp936",   "ms936",     "windows-936",
        "euc-cn", "csgb2312", "gb_2312-80", "gb_2312", "chinese", "iso-ir-58", "csiso58gb231280",
    };
    for (std::string_view gb : kGbLabels) {
        if (EqualsIgnoreAsciiCase(label, gb)) {
            return "GB18030";
        }
    }
    if (EqualsIgnoreAsciiCase(label, "big5") || EqualsIgnoreAsciiCase(label, "big5-hkscs") ||
        EqualsIgnoreAsciiCase(label, "cn-big5") || EqualsIgnoreAsciiCase(label, "x-x-big5")) {
        return "BIG5-HKSCS";
    }
    return std::string(label);
}

std::string DecodeUndeclared(std::string_view bytes, std::string* charset) {
    std::string text;
    // iconv refuses every byte sequence GB18030 does not define, so a success means the bytes
    // are GB18030 throughout.
    if (ConvertCharset("GB18030", "UTF-8", bytes, &text) && IsValidUtf8(text)) {
        if (charset) {
            *charset = "GB18030";
        }
        return text;
    }
    if (charset) {
        *charset = "windows-1252";
    }
    return Windows1252ToUtf8(bytes);
}
