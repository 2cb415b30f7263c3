// Built only by the layer test: a program of the platform library alone.
int main() {
    return 0;
}
