// A settings writer for the tests of the settings file, in the folder it is given:
//
//   settings_writer FOLDER               stores round after round of two values, as fast as it can, until it
//                                        is killed (the crash test kills it at random moments)
//   settings_writer FOLDER PREFIX COUNT  stores COUNT keys PREFIX1 ... PREFIX<COUNT>, each with the value
//                                        "value of " and its key, then ends (two run at once in the test of
//                                        concurrent writers)
//
// Every value is written to the file at once, so that every store is one rewrite of the file.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "text/encoding.h"
#include "text/settings.h"

namespace {

bool store(const std::u16string& key, const std::u16string& value) {
    return tarvisk::WriteSetting(key, value) && tarvisk::FlushSettings();
}

int writeRounds() {
    // A long value makes every write of the file take long enough to be cut in the middle.
    const std::u16string padding(400, u'宝');
    for (long round = 1;; ++round) {
        const std::u16string number = tarvisk::FromUtf8(std::to_string(round));
        if (!store(u"KeyWord", u"round " + number + u" " + padding + u" end") ||
            !store(u"SURL", u"//shop" + number + u".taobao.com/")) {
            std::fprintf(stderr, "settings_writer: a write failed\n");
            return 1;
        }
    }
}

int writeKeys(const std::u16string& prefix, long count) {
    for (long i = 1; i <= count; ++i) {
        const std::u16string key = prefix + tarvisk::FromUtf8(std::to_string(i));
        if (!store(key, u"value of " + key)) {
            std::fprintf(stderr, "settings_writer: the write of key %ld failed\n", i);
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: settings_writer FOLDER [PREFIX COUNT]\n");
        return 2;
    }
    tarvisk::SetSettingsFolder(argv[1]);
    return argc == 2 ? writeRounds() : writeKeys(tarvisk::FromUtf8(argv[2]), std::atol(argv[3]));
}
