#include <cstdio>

#include <QString>

#include "app/main/program.h"
#include "text/settings.h"

// The two programs share everything but the product caption, which the build gives each of them.
int main(int argc, char** argv) {
    const int status = tarvisk::RunProgram(argc, argv, QStringLiteral(TARVISK_PRODUCT_CAPTION));
    // The windows' last changes to their fields may still wait to be written.
    if (!tarvisk::FlushSettings()) {
        std::fprintf(stderr, "%s：设置没能写进 Setting.ini\n", TARVISK_PRODUCT_CAPTION);
    }
    return status;
}
