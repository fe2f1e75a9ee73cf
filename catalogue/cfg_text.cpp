#include "catalogue/cfg_text.h"

#include <fmt/format.h>

#include <cstdio>
#include <memory>

#include "foundation/log.h"
#include "platform/os/os.h"

namespace {

// Code points of 0x80..0x9F in code page 1252; the five undefined bytes keep their C1 code point, as the
// system converter maps them.
constexpr char16_t cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                     0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Splits at '\n' and drops one '\r' before it.
void splitLines(std::string_view text, std::vector<std::string_view>& lines) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

int lf_cfgEncoding(std::string_view bytes) {
    if (bytes.size() < 2) return 0;
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    if (b0 == 0xFF && b1 == 0xFE) return 1;
    if (b0 == 0xFE && b1 == 0xFF) return 2;
    if (b0 == 0xEF && b1 == 0xBB) return 3;
    return 0;
}

bool lf_isValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int more = 0;
        char32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= more) return false;
        for (int i = 1; i <= more; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and code points beyond U+10FFFF.
        if ((more == 2 && cp < 0x800) || (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += more + 1;
    }
    return true;
}

std::string lf_cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out.push_back(ch);
        else if (c < 0xA0)
            appendUtf8(out, cp1252High[c - 0x80]);
        else
            appendUtf8(out, c);
    }
    return out;
}

bool lf_cfgTextLines(std::string_view bytes, std::string& converted, std::vector<std::string_view>& lines) {
    const int encoding = lf_cfgEncoding(bytes);
    if (encoding == 1 || encoding == 2) {
        std::u16string text;
        text.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const auto b0 = static_cast<unsigned char>(bytes[i]);
            const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
            text.push_back(static_cast<char16_t>(encoding == 2 ? (b0 << 8) | b1 : (b1 << 8) | b0));
        }
        try {
            converted = win32::Utf16ToUtf8(text);
        } catch (const win32::Utf8ConversionException& e) {
            gf_log(fmt::format("conversion from error from utf16 to utf8, code: {}", e.errorCode()));
            return false;
        } catch (const std::exception& e) {
            gf_log(fmt::format("conversion from error from utf16 to utf8, code: {}", e.what()));
            return false;
        }
        splitLines(converted, lines);
        return true;
    }
    std::string_view text = bytes;
    if (encoding == 3 && text.size() >= 3 && static_cast<unsigned char>(text[2]) == 0xBF) text.remove_prefix(3);
    if (lf_isValidUtf8(text)) {
        splitLines(text, lines);
    } else {
        converted = lf_cp1252ToUtf8(text);
        splitLines(converted, lines);
    }
    return true;
}

bool lf_readFileBytes(const std::filesystem::path& path, std::string& bytes) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return false;
    bytes.clear();
    // Read straight into the text, sized from the file's length, growing only when the file grew.
    std::size_t size = 0;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        const long end = std::ftell(file.get());
        if (end > 0) size = static_cast<std::size_t>(end);
        std::fseek(file.get(), 0, SEEK_SET);
    }
    std::size_t filled = 0;
    bytes.resize(size + 1);
    for (;;) {
        filled += std::fread(bytes.data() + filled, 1, bytes.size() - filled, file.get());
        if (filled < bytes.size()) break;
        bytes.resize(bytes.size() * 2 + 4096);
    }
    bytes.resize(filled);
    return std::ferror(file.get()) == 0;
}
