#pragma once
// The text of an aircraft.cfg as UTF-8 lines, whatever the file was written in: UTF-8 with or without a
// byte-order mark, UTF-16 little- or big-endian with its mark, or the Windows ANSI code page (1252), with
// LF or CRLF line ends. Pure functions over bytes; any thread.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The encoding code of the first two bytes, as gf_fileEncoding gives it for a file: 1 UTF-16 LE (FF FE),
// 2 UTF-16 BE (FE FF), 3 UTF-8 with mark (EF BB), 0 anything else (also fewer than two bytes).
int lf_cfgEncoding(std::string_view bytes);

// Appends the lines of the text (line ends removed, UTF-8) as views into `bytes`, or into `converted` when
// the text had to be converted (UTF-16, code page 1252); both must outlive the lines. A text without a mark
// that is not valid UTF-8 is read as code page 1252. UTF-16: a trailing odd byte is ignored; text that
// cannot be converted (a lone surrogate) is logged "conversion from error from utf16 to utf8, code: {}" and
// gives false with no line.
bool lf_cfgTextLines(std::string_view bytes, std::string& converted, std::vector<std::string_view>& lines);

// Code page 1252 to UTF-8; every byte has a character.
std::string lf_cp1252ToUtf8(std::string_view bytes);
bool lf_isValidUtf8(std::string_view bytes);

// The whole file; false when it cannot be opened or read.
bool lf_readFileBytes(const std::filesystem::path& path, std::string& bytes);
