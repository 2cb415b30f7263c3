// The game for timing whole launcher runs: it writes the wall-clock time (in
// nanoseconds since 1970) when it starts and when it ends into game-times.txt
// in its working directory, and does nothing in between. Portable C++, so the
// same file builds for Windows to time the launcher under Wine.
#include <chrono>
#include <cstdio>

namespace {

long long Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int main() {
    const long long started = Now();
    std::FILE* out = std::fopen("game-times.txt", "a");
    if (!out) {
        return 1;
    }
    std::fprintf(out, "start %lld\n", started);
    std::fprintf(out, "end %lld\n", Now());
    return std::fclose(out) == 0 ? 0 : 1;
}
