// A settings writer for the crash tests: stores round after round of two values in Setting.ini of the
// folder it is given, as fast as it can, until it is killed.
//
// usage: settings_writer FOLDER

#include <cstdio>
#include <string>

#include "text/encoding.h"
#include "text/settings.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: settings_writer FOLDER\n");
        return 2;
    }
    tarvisk::SetSettingsFolder(argv[1]);
    // A long value makes every write of the file take long enough to be cut in the middle.
    const std::u16string padding(400, u'宝');
    for (long round = 1;; ++round) {
        const std::u16string number = tarvisk::FromUtf8(std::to_string(round));
        if (!tarvisk::WriteSetting(u"KeyWord", u"round " + number + u" " + padding + u" end") ||
            !tarvisk::WriteSetting(u"SURL", u"//shop" + number + u".taobao.com/")) {
            std::fprintf(stderr, "settings_writer: a write failed\n");
            return 1;
        }
    }
}
