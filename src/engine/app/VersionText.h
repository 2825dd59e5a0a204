// The program's version text, as the About box and every --version show it. The number is the build's
// project version (DRAVIK_VERSION), so it is set in one place.
#pragma once

constexpr const char* kDravikVersionText = "5120-41887 Version " DRAVIK_VERSION;
