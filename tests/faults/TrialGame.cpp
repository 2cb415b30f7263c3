// The game of the fault trials under Wine: it ends at once, without a window.
// The faulty launcher pauses for nothing, so its wait for a window passes at once.
int main() {
    return 0;
}
