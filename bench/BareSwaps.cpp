// The bare Win32 calls of a launcher run's swaps, for timing the launcher under
// Wine beside them: for each of N triples "Data\Textures\Sky Texture NNNNN"
// (.pak, .dw, .bak) below the working directory, named by whole paths as the
// script's "@rootdir" names them, the install's three GetFileAttributesA and
// two MoveFileA, then the restore's, last triple first. No script, no log, no
// journal, no letter case. tools/bench builds it with MinGW.
//   bench-bare-swaps.exe N
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Triple {
    std::string original, modified, backup;
};

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Move(const std::string& from, const std::string& to) {
    return MoveFileA(from.c_str(), to.c_str()) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 0;
    char directory[MAX_PATH] = {};
    if (count <= 0 || GetCurrentDirectoryA(MAX_PATH, directory) == 0) {
        std::fprintf(stderr, "usage: bench-bare-swaps N, in the game folder\n");
        return 2;
    }
    std::vector<Triple> triples;
    for (int i = 0; i < count; ++i) {
        char stem[MAX_PATH];
        std::snprintf(stem, sizeof stem, "%s\\Data\\Textures\\Sky Texture %05d", directory, i);
        triples.push_back(
            {std::string(stem) + ".pak", std::string(stem) + ".dw", std::string(stem) + ".bak"});
    }
    int failed = 0;
    for (const auto& t : triples) {
        failed += Exists(t.backup) || !Exists(t.original) || !Exists(t.modified);
        failed += !Move(t.original, t.backup) || !Move(t.modified, t.original);
    }
    for (auto t = triples.rbegin(); t != triples.rend(); ++t) {
        failed += Exists(t->modified) || !Exists(t->original) || !Exists(t->backup);
        failed += !Move(t->original, t->modified) || !Move(t->backup, t->original);
    }
    if (failed != 0) {
        std::fprintf(stderr, "%d swaps failed\n", failed);
        return 1;
    }
    return 0;
}
