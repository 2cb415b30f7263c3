// The sample game: a stand-in for Skyrend 2's srend.exe. It writes what it was
// started with and which game files it finds into srend-saw.txt in its working
// directory, then ends, so that a demo can show what the player's game would see
// while the mod is installed.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <string>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::ofstream out("srend-saw.txt", std::ios::binary);
    out << "Skyrend 2 (stand-in) started in " << fs::current_path().string() << "\n";
    out << "parameters:";
    for (int i = 1; i < argc; ++i) {
        out << " [" << argv[i] << "]";
    }
    out << "\n";
    std::set<std::string> files;  // sorted, so the list reads the same everywhere
    for (const auto& entry : fs::recursive_directory_iterator("Data")) {
        if (entry.is_regular_file()) {
            std::ifstream file(entry.path(), std::ios::binary);
            std::string firstLine;
            std::getline(file, firstLine);
            files.insert(entry.path().generic_string() + ": " + firstLine);
        }
    }
    for (const auto& line : files) {
        out << "  " << line << "\n";
    }
    return 0;
}
