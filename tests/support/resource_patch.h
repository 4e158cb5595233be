// Makes variants of a built program with one RT_RCDATA resource replaced, so that a
// test can start the real tool with a broken or missing embedded file.
#pragma once

#include <string>

namespace vandrel::test {

// Copies source to target, then replaces its RT_RCDATA resource id with bytes (not empty: Wine can
// neither delete a resource nor store an empty one).
bool CopyWithRcData(const std::wstring& source, const std::wstring& target, int id, const std::string& bytes);

}  // namespace vandrel::test
