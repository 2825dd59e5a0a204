// The program's version text, as the About box and every --version show it.
#pragma once

constexpr const char* kDravikVersionText = "5120-41887 Version 4.0";
