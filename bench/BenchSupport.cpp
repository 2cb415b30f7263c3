#include "BenchSupport.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>  // mkdtemp too, on POSIX systems
#include <fstream>
#include <stdexcept>

namespace srdw::bench {

namespace {

// "00042": equal widths keep the names of one size, as a mod's numbered files are.
std::string Numbered(std::size_t i) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%05zu", i);
    return digits;
}

}  // namespace

ScratchDir::ScratchDir(const std::string& purpose) {
    std::string pattern = (fs::temp_directory_path() / ("srdw-bench-" + purpose + "-XXXXXX"));
    if (!::mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot make a scratch directory in " +
                                 fs::temp_directory_path().string());
    }
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ScriptHeader() {
    return "// Duskwarden install script\r\n"
           "// Each line is undone, last to first, when the game ends.\r\n"
           "\r\n";
}

std::string ScriptPart(std::size_t i) {
    const std::string n = Numbered(i);
    std::string part = "// Part " + n + ": the northern sky at dusk, and its map\r\n";
    part += "RenameEx(\"@rootdir\\Data\\Textures\\Sky Dome " + n +
            ".pak\", \"@rootdir\\Data\\Textures\\Sky Dome " + n + ".dw\",\r\n";
    part += "\t\"@rootdir\\Data\\Textures\\Sky Dome " + n + ".bak\");\r\n";
    part += "\r\n";
    part += "SetDirectory(\"@rootdir\\Data\")   // relative paths start here\r\n";
    part += "RenameEx(\"Maps\\World Map " + n + ".map\", \"Maps\\World Map " + n +
            ".dw\", \"Maps\\World Map " + n + ".bak\");\r\n";
    part += "Rename(Sounds\\ambient" + n + ".snd, \"Sounds\\ambient " + n +
            ".off\");  // quieter at night\r\n";
    part += "\r\n";
    return part;
}

std::size_t WriteGeneratedScript(const fs::path& path, std::size_t bytes) {
    std::ofstream out(path, std::ios::binary);
    std::size_t written = 0;
    std::string piece = ScriptHeader();
    for (std::size_t i = 0; written < bytes; piece = ScriptPart(i++)) {
        out << piece;
        written += piece.size();
    }
    return out.flush() ? written : 0;
}

std::string RealisticScript(std::size_t bytes) {
    std::string script = ScriptHeader();
    for (std::size_t i = 0; script.size() < bytes; ++i) {
        script += ScriptPart(i);
    }
    return script;
}

std::string SwapLetterCase(std::string text) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        c = static_cast<char>(std::isupper(byte) ? std::tolower(byte) : std::toupper(byte));
    }
    return text;
}

void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

GameFolder MakeGameFolder(const fs::path& root, Command command, std::size_t count,
                          std::size_t fillers, bool wrongCase) {
    GameFolder folder;
    folder.root = root;
    folder.directory = root / "Data" / "Textures";
    fs::create_directories(folder.directory);
    const auto spelled = [wrongCase](std::string name) {
        return wrongCase ? SwapLetterCase(std::move(name)) : name;
    };
    const std::string scriptDirectory = "@rootdir\\" + spelled("Data") + "\\" + spelled("Textures");
    const auto quoted = [&](const std::string& name) {
        return "\"" + scriptDirectory + "\\" + spelled(name) + "\"";
    };

    folder.script = "// Duskwarden: " + std::to_string(count) + " textures\r\n";
    for (std::size_t i = 0; i < count; ++i) {
        const std::string stem = "Sky Texture " + Numbered(i);
        const std::string original = stem + ".pak";
        folder.originals.push_back((folder.directory / original).string());
        WriteFile(folder.originals.back(), "game");
        if (command == Command::RenameEx) {
            const std::string modified = stem + ".dw";
            const std::string backup = stem + ".bak";
            folder.modified.push_back((folder.directory / modified).string());
            folder.targets.push_back((folder.directory / spelled(backup)).string());
            WriteFile(folder.modified.back(), "mod");
            folder.script += "RenameEx(" + quoted(original) + ", " + quoted(modified) + ", " +
                             quoted(backup) + ");\r\n";
        } else {
            const std::string target = stem + ".off";
            folder.targets.push_back((folder.directory / spelled(target)).string());
            folder.script += "Rename(" + quoted(original) + ", " + quoted(target) + ");\r\n";
        }
    }
    for (std::size_t i = 0; i < fillers; ++i) {
        WriteFile(folder.directory / ("Ground Texture " + Numbered(i) + ".pak"), "ground");
    }
    WriteFile(root / "SrdwLaunch.dat", folder.script);
    return folder;
}

}  // namespace srdw::bench
