// One line of the write history: which firmware went into which transmitter, when, with which tool, and
// how it ended as the user saw it. Names, sizes and hashes of the firmware only, never its bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vandrel {

struct HistoryRecord {
    std::wstring time;         // local, ISO 8601 with its UTC offset
    std::wstring toolVersion;  // the file version, "1.8.0.0"
    std::wstring action;       // "write" or "version read"
    std::wstring firmwarePath;
    std::optional<uint64_t> firmwareSize;
    std::wstring firmwareSha256;
    std::wstring imageName;  // inside the package; a picked image's own name
    std::optional<uint64_t> imageSize;
    std::wstring imageSha256;
    std::optional<uint16_t> productId;
    std::wstring deviceInstance;  // empty when there was none
    std::wstring result;          // the box's text, in the user's language
    std::wstring resultCode;      // in English: written, write-failed, no-device, ...
    std::vector<std::wstring> lines;  // the message list's lines of the run
    uint64_t durationMs = 0;
};

// The column names, one CSV line (with its CRLF).
std::string HistoryHeader();
// The record as one CSV line in UTF-8 (with its CRLF), its fields quoted as RFC 4180 says; a field that
// begins like a formula (=, +, -, @, a tab, a carriage return, or a full-width =, +, -, @) begins with an
// apostrophe, so that a spreadsheet shows it as text.
std::string HistoryLine(const HistoryRecord& record);

// Now, in local time: "2026-12-11T04:05:06+01:00".
std::wstring LocalTimeIso8601();

// The English code of the result a box's text tells (its text is the one of the user's language), or
// "refused" for a box of no known kind.
std::wstring ResultCodeOf(const std::wstring& boxText);

}  // namespace vandrel
