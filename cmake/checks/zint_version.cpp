// Prints libzint's version as major.minor.release, for the build's check.
#include <cstdio>
#include <zint.h>

int main() {
    const int v = ZBarcode_Version();
    std::printf("%d.%d.%d\n", v / 10000, v / 100 % 100, v % 100);
    return 0;
}
