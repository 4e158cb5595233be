// A DialogOutput that records lines and message boxes instead of showing them.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "common/dialog_output.h"

namespace vandrel::test {

class RecordingOutput : public DialogOutput {
public:
    struct Box {
        std::wstring text;
        std::wstring caption;  // empty for a null caption (the application's name)
        UINT type = 0;
        bool operator==(const Box& o) const { return text == o.text && caption == o.caption && type == o.type; }
    };

    void AppendLine(const std::wstring& line) override { lines.push_back(line); }
    // Records the box; it "returns" IDOK without opening.
    int ShowMessageBox(const std::wstring& text, const wchar_t* caption, UINT type) override {
        boxes.push_back({text, caption ? caption : L"", type});
        return IDOK;
    }

    std::vector<std::wstring> lines;
    std::vector<Box> boxes;
};

inline void PrintTo(const RecordingOutput::Box& box, std::ostream* os) {
    *os << "box \"" << std::string(box.text.begin(), box.text.end()) << "\"";
}

}  // namespace vandrel::test
