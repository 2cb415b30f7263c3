// The bare system calls of a launcher run's swaps on Linux, for timing the
// whole launcher process beside them: for each of N triples
// "Data/Textures/Sky Texture NNNNN" (.pak, .dw, .bak) below the working
// directory, by whole paths, the install's three stats and two renames that
// replace nothing, then the restore's, last triple first. No script, no log,
// no journal, no letter case.
//   srdw_bare_swaps N
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

bool Move(const std::string& from, const std::string& to) {
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 0;
    char directory[4096] = {};
    if (count <= 0 || !::getcwd(directory, sizeof directory)) {
        std::fprintf(stderr, "usage: srdw_bare_swaps N, in the game folder\n");
        return 2;
    }
    struct Triple {
        std::string original, modified, backup;
    };
    std::vector<Triple> triples;
    for (int i = 0; i < count; ++i) {
        char stem[4200];
        std::snprintf(stem, sizeof stem, "%s/Data/Textures/Sky Texture %05d", directory, i);
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
