#pragma once
// What a fuzz target asserts about the code it feeds: a broken promise ends the run like
// a crash, so that libFuzzer keeps the input and the replay fails on it.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (false)
