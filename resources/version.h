// The program's version, written only here: the version record, the About box, the manifest, the
// build and the packages all take it from this file.
#pragma once

#define TENDRAL_VERSION_MAJOR 1
#define TENDRAL_VERSION_MINOR 0
#define TENDRAL_VERSION_BUILD 1103
#define TENDRAL_VERSION_REVISION 2801

#define TENDRAL_STRINGIZE_(x) #x
#define TENDRAL_STRINGIZE(x) TENDRAL_STRINGIZE_(x)
#define TENDRAL_VERSION_NUMBERS \
    TENDRAL_VERSION_MAJOR, TENDRAL_VERSION_MINOR, TENDRAL_VERSION_BUILD, TENDRAL_VERSION_REVISION
// clang-format off
#define TENDRAL_VERSION_TEXT                                                                        \
    TENDRAL_STRINGIZE(TENDRAL_VERSION_MAJOR) "." TENDRAL_STRINGIZE(TENDRAL_VERSION_MINOR) "."       \
    TENDRAL_STRINGIZE(TENDRAL_VERSION_BUILD) "." TENDRAL_STRINGIZE(TENDRAL_VERSION_REVISION)
// clang-format on
