// The Linux launcher's settings reader against Windows' own: the same odd
// files through GetPrivateProfileStringA and through posix::IniValue, and
// what posix::WithIniValue writes read back by Windows.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "GuiTestSupport.h"
#include "platform/posix/IniFile.h"

namespace srdw::gui {
namespace {

using namespace std::string_literals;

constexpr char kSection[] = "Global - String3";
constexpr char kKey[] = "Data";
constexpr char kMissing[] = "(missing)";

// ASCII only: Windows hands the value on in the code page, Linux as it stands.
const std::vector<std::pair<std::string, std::string>> kFiles = {
    {"double-quotes", "[Global - String3]\r\nData=\"C:\\a b.exe\"\r\n"},
    {"single-quotes", "[Global - String3]\r\nData='C:\\a b.exe'\r\n"},
    {"unmatched-quotes", "[Global - String3]\r\nData=\"C:\\a b.exe'\r\n"},
    {"quote-alone", "[Global - String3]\r\nData=\"\r\n"},
    {"empty-quotes", "[Global - String3]\r\nData=\"\"\r\n"},
    {"quotes-inside", "[Global - String3]\r\nData=\"a\"b\"\r\n"},
    {"quoted-blanks", "[Global - String3]\r\nData=\" spaced \"  \r\n"},
    {"second-section",
     "[Global - String3]\r\nData=first\r\n[Other]\r\n[global - string3]\r\n"
     "Data=second\r\n"},
    {"key-in-second-section-only",
     "[Global - String3]\r\nOther=1\r\n[Global - String3]\r\n"
     "Data=second\r\n"},
    {"second-key", "[Global - String3]\r\nData=one\r\nDATA=two\r\n"},
    {"key-without-value", "[Global - String3]\r\nData\r\nData=x\r\n"},
    {"byte-order-mark", "\xEF\xBB\xBF[Global - String3]\r\nData=C:\\bom.exe\r\n"},
    {"mark-inside",
     "[Global - String3]\r\n\xEF\xBB\xBF"
     "Data=x\r\n"},
    {"cr-only", "[Global - String3]\rData=C:\\cr.exe\rNext=1\r"},
    {"lf-only", "[Global - String3]\nData=C:\\lf.exe\n"},
    {"lf-cr", "[Global - String3]\n\rData=lfcr\n\r"},
    {"cr-inside-line", "[Global - String3]\r\nData=a\rb\r\n"},
    {"after-bracket", "[Global - String3] ; the game's\r\nData=C:\\after.exe\r\n"},
    {"last-bracket", "[Global - String3] x]\r\nData=x\r\n"},
    {"no-bracket", "[Global - String3]\r\n[Broken\r\nData=x\r\n"},
    {"blanks-in-brackets", "[ \tGlobal - String3\x1a ]\r\n  Data \t=  C:\\x y.exe \t\r\n"},
    {"ctrl-z-end", "[Global - String3]\r\nData=C:\\z.exe\x1a\r\n\x1a"},
    {"ctrl-z-inside",
     "[Global - String3]\r\nData=C:\\a\x1a"
     "b.exe\r\n"},
    {"ctrl-z-quoted", "[Global - String3]\r\nData=\"x\"\x1a\r\n"},
    {"nul-in-value", "[Global - String3]\r\nData=C:\\n\0ul.exe\r\n"s},
    {"nul-in-quotes", "[Global - String3]\r\nData=\"ab\0cd\"\r\n"s},
    {"nul-in-key", "[Global - String3]\r\nDa\0ta=x\r\nData=y\r\n"s},
    {"nul-in-section", "[Global - String3\0x]\r\nData=x\r\n"s},
    {"form-feed", "[Global - String3]\r\nData=x\f\v\r\n"},
    {"equals-in-value", "[Global - String3]\r\nData=a=b\r\n"},
    {"blank-value", "[Global - String3]\r\nData=   \r\n"},
    {"comment", "[Global - String3]\r\n;Data=commented\r\nData=real\r\n"},
    {"key-before-sections", "Data=before\r\n[Global - String3]\r\nData=x\r\n"},
    {"empty-section-name", "[]\r\nData=x\r\n[Global - String3]\r\nData=y\r\n"},
    {"no-line-end", "[Global - String3]\r\nData=end"},
    {"missing-section", "[Other]\r\nData=x\r\n"},
    {"empty", ""},
};

std::string WindowsValue(const std::string& file) {
    char buffer[MAX_PATH] = {};
    const DWORD length =
        GetPrivateProfileStringA(kSection, kKey, kMissing, buffer, sizeof buffer, file.c_str());
    return std::string(buffer, length);
}

TEST(SettingsFileTest, TheLinuxReaderAgreesWithWindows) {
    const std::string folder = NewWorkFolder("settings");
    for (const auto& [name, bytes] : kFiles) {
        // A name of its own for each file: Windows keeps profile files cached.
        const std::string file = folder + "\\" + name + ".ini";
        WriteBytes(file, bytes);
        EXPECT_EQ(posix::IniValue(bytes, kSection, kKey).value_or(kMissing), WindowsValue(file))
            << name;

        const std::string written = folder + "\\" + name + "-written.ini";
        WriteBytes(written, posix::WithIniValue(bytes, kSection, kKey, "C:\\Games\\srend.exe"));
        EXPECT_EQ(WindowsValue(written), "C:\\Games\\srend.exe") << name;
    }
    RemoveTree(folder);
}

}  // namespace
}  // namespace srdw::gui
