// The name of this zorhost build, as the host information answers it (entry ZOR_HOST_INFO_BUILD).
// Modules put it into folder names (the crash checker's default reference folder), so it is stable
// for a build and safe in a file name: letters, digits, '.', '-' and '_' only, no blanks or slashes.
#pragma once

namespace zorhost {

// zorhost's own release; raise it when a change makes the renderers draw different pixels, so that
// results of two releases never share a folder.
#define ZORHOST_RELEASE "1.0"

#if defined(__x86_64__)
#define ZORHOST_ARCHITECTURE "x86_64"
#elif defined(__aarch64__)
#define ZORHOST_ARCHITECTURE "aarch64"
#else
#define ZORHOST_ARCHITECTURE "other"
#endif

#if defined(__linux__)
#define ZORHOST_SYSTEM "linux"
#else
#define ZORHOST_SYSTEM "unix"
#endif

// e.g. "zorhost-1.0-linux-x86_64"
inline constexpr char kHostBuildName[] =
    "zorhost-" ZORHOST_RELEASE "-" ZORHOST_SYSTEM "-" ZORHOST_ARCHITECTURE;

}  // namespace zorhost
