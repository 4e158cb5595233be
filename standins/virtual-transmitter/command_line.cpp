#include "standins/virtual-transmitter/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <cwctype>

namespace vandrel::standin {

namespace {

// Decimal, or hexadecimal with 0x; the whole text must be the number.
bool ParseNumber(const wchar_t* text, unsigned long maximum, unsigned long& value) {
    if (!text || !*text || *text == L'-') return false;
    wchar_t* end = nullptr;
    errno = 0;
    value = wcstoul(text, &end, 0);
    return errno == 0 && *end == 0 && value <= maximum;
}

// Each character is one byte, up to eight, zero-padded.
bool ParseVersionText(const std::wstring& text, uint8_t (&version)[8]) {
    if (text.size() > 8) return false;
    uint8_t bytes[8] = {};
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] > 0xFF) return false;
        bytes[i] = static_cast<uint8_t>(text[i]);
    }
    std::copy(std::begin(bytes), std::end(bytes), version);
    return true;
}

// Sixteen hexadecimal digits: the eight raw bytes.
bool ParseVendorData(const std::wstring& hex, uint8_t (&version)[8]) {
    if (hex.size() != 16) return false;
    for (size_t i = 0; i < 8; ++i) {
        unsigned long byte = 0;
        const std::wstring pair = hex.substr(i * 2, 2);
        if (!iswxdigit(pair[0]) || !iswxdigit(pair[1])) return false;
        byte = wcstoul(pair.c_str(), nullptr, 16);
        version[i] = static_cast<uint8_t>(byte);
    }
    return true;
}

bool ParsePlugOptions(int argc, const wchar_t* const* argv, DeviceSettings& s) {
    bool versionGiven = false;
    for (int i = 0; i < argc; ++i) {
        const std::wstring option = argv[i];
        const wchar_t* value = i + 1 < argc ? argv[i + 1] : nullptr;
        unsigned long number = 0;
        if (option == L"--fail-upgrade") {
            s.failUpgrade = true;
            continue;
        }
        if (option == L"--fail-read") {
            s.failRead = true;
            continue;
        }
        if (!value) return false;
        ++i;
        if (option == L"--vid" && ParseNumber(value, 0xFFFF, number)) {
            s.vendorId = static_cast<uint16_t>(number);
        } else if (option == L"--pid" && ParseNumber(value, 0xFFFF, number)) {
            s.productId = static_cast<uint16_t>(number);
        } else if (option == L"--mode" && ParseNumber(value, 0xFFFFFFFF, number)) {
            s.mode = number;
        } else if (option == L"--layer" && ParseNumber(value, 0xFFFFFFFF, number) && number != 0) {
            s.layer = number;
        } else if (option == L"--upgrade-ms" && ParseNumber(value, 0xFFFFFFFF, number)) {
            s.upgradeMs = number;
        } else if (option == L"--version" && !versionGiven && ParseVersionText(value, s.version)) {
            versionGiven = true;
        } else if (option == L"--vendor-data" && !versionGiven && ParseVendorData(value, s.version)) {
            versionGiven = true;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ParseCommandLine(int argc, const wchar_t* const* argv, CommandLine& out) {
    if (argc < 1) return false;
    const std::wstring command = argv[0];
    if (command == L"plug") {
        out.command = Command::Plug;
        return ParsePlugOptions(argc - 1, argv + 1, out.settings);
    }
    if (command == L"unplug" && argc == 2) {
        out.command = std::wstring(argv[1]) == L"--all" ? Command::UnplugAll : Command::Unplug;
        out.instanceId = argv[1];
        return true;
    }
    if (command == L"list" && argc == 1) {
        out.command = Command::List;
        return true;
    }
    if (command == L"service" && argc == 2) {
        const std::wstring action = argv[1];
        out.command = action == L"install" ? Command::ServiceInstall : Command::ServiceRemove;
        return action == L"install" || action == L"remove";
    }
    return false;
}

const wchar_t* UsageText() {
    return LR"(Usage: virtual-transmitter.exe COMMAND
  plug [--vid 0x2207] [--pid 0x110B] [--mode 2] [--layer N] [--version TEXT | --vendor-data HEX]
       [--upgrade-ms 3000] [--fail-upgrade] [--fail-read]
      Adds a virtual transmitter and prints its instance id. It is bound to the service "rockusb"
      when that service exists at this moment. --layer defaults to a number no present device has;
      --version TEXT takes one byte per character (at most 8, zero-padded, default V1.0.0);
      --vendor-data takes the 8 bytes as 16 hexadecimal digits.
  unplug ID | unplug --all
      Removes one virtual transmitter (or all of them) with its flash content.
  list
      One line per virtual transmitter, fields separated by a tab:
      ID  VID  PID  MODE  LAYER  SERVICE  VERSION  SIZE  SHA256
      VID and PID as 0x and four upper-case hex digits; MODE and LAYER in decimal; SERVICE is the
      bound service or "-"; VERSION is the version bytes up to the first zero byte, with bytes
      outside 0x20-0x7E and the backslash written as \xNN; SIZE (decimal) and SHA256 (lower-case
      hex) describe the image last written into the device, or are "-" when none was.
  service install | service remove
      Creates or deletes the "rockusb" kernel-driver service entry (no driver file is needed).
Exit codes: 0 success, 1 failure (message on stderr), 2 bad arguments.
)";
}

}  // namespace vandrel::standin
