#include <cstdio>

int main() {
    std::puts(
        "Vantrel: the main window is not built yet.\n"
        "Meanwhile `vantrel-check satellite NAME` checks a line of Vantrel.ini,\n"
        "and `vantrel-check passes [FOLDER]` reads PassList.txt as Vantrel will.");
    return 0;
}
