// The program's two build constants (CMake cache options versionNumber and
// editionBits). Logic that depends on them takes the value as a parameter
// defaulting to these, so both editions are testable from one build.
#pragma once

#ifndef SETUP_VERSION_NUMBER
#error "SETUP_VERSION_NUMBER comes from the build"
#endif
#ifndef SETUP_EDITION_BITS
#error "SETUP_EDITION_BITS comes from the build"
#endif

constexpr int versionNumber = SETUP_VERSION_NUMBER;  // yyyymmdd
constexpr int editionBits = SETUP_EDITION_BITS;      // 32 or 64
