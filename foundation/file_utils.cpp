#include "foundation/file_utils.h"

#include <fmt/format.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "foundation/disk_file.h"
#include "foundation/log.h"
#include "foundation/text_utils.h"
#include "platform/os/os.h"

namespace fs = std::filesystem;

namespace {

// Files come from Windows, where text mode drops the carriage return before each line feed.
void dropCarriageReturn(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

}  // namespace

TextFile::~TextFile() {
    try {
        if (stream_.is_open()) stream_.close();
    } catch (...) {
        // A failed close of a file that was only read loses nothing.
    }
}

bool TextFile::open(const fs::path& path) {
    stream_.open(path, std::ios::in | std::ios::binary);
    return stream_.is_open();
}

void TextFile::readLines(std::vector<std::string>& lines) {
    std::string line;
    while (std::getline(stream_, line, '\n')) {
        dropCarriageReturn(line);
        lines.push_back(std::move(line));
    }
    stream_.clear();
}

fs::path gf_backupName(const fs::path& path, BackupNaming naming, int depth) {
    const std::string name = path.filename().string();
    const auto dot = name.rfind('.');
    if (name.empty() || dot == std::string::npos) return {};
    std::string infix = naming == BackupNaming::tildeZeros ? "~" : "";
    infix.append(static_cast<std::size_t>(depth), '0');
    std::string backup = name;
    backup.insert(dot, infix);
    return path.parent_path() / backup;
}

namespace {

// A copy is the program's own: its owner may write it, whatever mode the file it was copied from has, so that
// the next rotation can replace it.
void copyWritable(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (fs::exists(to, ec)) fs::permissions(to, fs::perms::owner_write, fs::perm_options::add, ec);
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
}

}  // namespace

void gf_backupFile(const fs::path& path, BackupNaming naming) {
    const fs::path first = gf_backupName(path, naming, 1);
    if (first.empty()) return;
    const fs::path second = gf_backupName(path, naming, 2);
    if (fs::exists(first)) copyWritable(first, second);
    if (fs::exists(path)) copyWritable(path, first);
}

int gf_fileEncoding(const fs::path& path) {
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open() || fs::is_directory(path)) {
        const int error = errno;
        gf_log(fmt::format("cannot open file {} for character encoding, err: {}", path.string(), error));
        return encodingUnreadable;
    }
    unsigned char bytes[2] = {0, 0};
    file.read(reinterpret_cast<char*>(bytes), 2);
    if (file.gcount() < 2) return 0;
    if (bytes[0] == 0xFF && bytes[1] == 0xFE) return 1;
    if (bytes[0] == 0xFE && bytes[1] == 0xFF) return 2;
    if (bytes[0] == 0xEF && bytes[1] == 0xBB) return 3;
    return 0;
}

namespace {

bool readUtf16Lines(bool bigEndian, const fs::path& path, std::vector<std::string>& lines) {
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open()) return false;
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<char16_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0));
    }
    // The byte-order mark only tells the byte order; it is not part of the first line.
    std::u16string_view rest(text);
    if (!rest.empty() && rest.front() == u'\xFEFF') rest.remove_prefix(1);
    try {
        while (!rest.empty()) {
            const auto end = rest.find(u'\n');
            std::u16string_view line = rest.substr(0, end);
            if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
            lines.push_back(win32::Utf16ToUtf8(line));
            if (end == std::u16string_view::npos) break;
            rest.remove_prefix(end + 1);
        }
    } catch (const win32::Utf8ConversionException& e) {
        gf_noteStatus(fmt::format("conversion from error from utf16 to utf8, code: {}", e.errorCode()), true);
        return false;
    } catch (const std::exception& e) {
        gf_noteStatus(std::string("conversion from error from utf16 to utf8: ") + e.what(), true);
        return false;
    }
    return true;
}

}  // namespace

bool gf_readFileLines(int encoding, const fs::path& path, std::vector<std::string>& lines) {
    if (encoding == 1 || encoding == 2) return readUtf16Lines(encoding == 2, path, lines);
    TextFile file;
    if (!file.open(path)) return false;
    const std::size_t first = lines.size();
    file.readLines(lines);
    if (encoding == 3 && lines.size() > first && lines[first].compare(0, 3, "\xEF\xBB\xBF") == 0)
        lines[first].erase(0, 3);
    return true;
}

std::optional<std::vector<std::string>> gf_readFile(const fs::path& path, std::size_t reserveCount) {
    TextFile file;
    if (!file.open(path)) return std::nullopt;
    std::vector<std::string> lines;
    lines.reserve(reserveCount);
    file.readLines(lines);
    if (lines.empty()) return std::nullopt;
    return lines;
}

bool gf_writeFile(std::string_view text, const fs::path& path, bool addLineEnd) {
    std::ofstream file(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file.is_open()) return false;
    file << text;
    if (addLineEnd) file << '\n';
    file.flush();
    return file.good();
}

namespace {
template <typename Lines>
bool writeLines(const Lines& lines, const fs::path& path) {
    std::ofstream file(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file.is_open()) return false;
    for (const auto& line : lines) file << line << '\n';
    file.flush();
    return file.good();
}
}  // namespace

bool gf_writeLinesToFile(const std::vector<std::string>& lines, const fs::path& path) {
    return writeLines(lines, path);
}

bool gf_writeListToFile(const std::list<std::string>& lines, const fs::path& path) { return writeLines(lines, path); }

std::list<std::string> gf_readStreamLines(std::istream& stream) {
    std::list<std::string> lines;
    std::string line;
    while (std::getline(stream, line)) {
        dropCarriageReturn(line);
        lines.push_back(std::move(line));
    }
    return lines;
}

bool gf_removeFile(const fs::path& path) {
    if (!fs::exists(path)) return true;
    return fs::remove(path);
}

std::size_t gf_countFolderEntries(const fs::path& folder) {
    if (!fs::exists(folder)) return 0;
    std::size_t count = 0;
    for (auto it = fs::directory_iterator(folder); it != fs::directory_iterator(); ++it) ++count;
    return count;
}

std::vector<std::string> gf_xmlFilesIn() {
    std::vector<std::string> result;
    const fs::path& folder = dataNames::myThirdpartyFolder;
    if (!fs::exists(folder)) return result;
    result.reserve(512);
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file() && gf_equalsUpper(".XML", entry.path().extension().string()))
            result.push_back(entry.path().stem().string());
    }
    return result;
}

bool gf_saveXmlReplacing(const pugi::xml_document& document, const fs::path& path) {
    std::ostringstream text;
    document.save(text, "\t", pugi::format_default, pugi::encoding_utf8);
    return text.good() && gf_replaceFile(path, text.view()) == ReplaceResult::replaced;
}

bool gf_saveXml(const pugi::xml_document& document, const fs::path& path) {
    if (gf_saveXmlReplacing(document, path)) {
        gf_log(fmt::format("\"{}\" saved", path.string()));
        return true;
    }
    gf_logError(fmt::format("could not save to \"{}\"", path.string()));
    return false;
}

std::string gf_attributeString(const pugi::xml_node& node, const char* attributeName) {
    if (!node) return {};
    const pugi::xml_attribute attribute = node.attribute(attributeName);
    if (!attribute) return {};
    return attribute.value();
}

fs::path gf_getAppDataPath() {
    if (auto folder = win32::GetFolderPathUtf8(win32::csidlAppData)) return *folder;
    gf_logError("Could not find the AppData path");
    return {};
}

fs::path gf_getLocalAppDataPath() {
    if (auto folder = win32::GetFolderPathUtf8(win32::csidlLocalAppData)) return *folder;
    gf_logError("Could not find the a Local Appdata path");
    return {};
}

void gf_removeFilesIn(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    try {
        std::error_code ec;
        if (!fs::exists(folder, ec)) return;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            std::error_code exists;
            if (!fs::exists(entry.path(), exists)) continue;
            std::error_code removeError;
            fs::remove_all(entry.path(), removeError);
            if (removeError) throw fs::filesystem_error("remove", entry.path(), removeError);
            if (fs::exists(entry.path(), exists)) gf_log(fmt::format("{} could not be removed", folder.string()));
        }
    } catch (const std::exception& e) {
        throw ovk::UserErrorException(5, e.what());
    }
}
