// The baseline of the start-up benchmark: a C++ program that prints one line and ends, linked the
// way kelvora-cli is (the C++ runtime), with nothing of Kelvora in it.

#include <iostream>

int main() {
    std::cout << "trivial 1.0\n";
    return 0;
}
