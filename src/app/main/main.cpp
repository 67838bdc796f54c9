#include <QString>

#include "app/main/program.h"

// The two programs share everything but the product caption, which the build gives each of them.
int main(int argc, char** argv) {
    return tarvisk::RunProgram(argc, argv, QStringLiteral(TARVISK_PRODUCT_CAPTION));
}
