#pragma once

#include <cstddef>
#include <cstdint>

// What every fuzz target shares: a Qt application (for the resource lookup), a log that
// stays quiet at thousands of inputs a second, and checks whose failure is a finding.
namespace FuzzSupport
{
[[noreturn]] void fail(const char *condition, const char *file, int line);
}

#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? void(0) : FuzzSupport::fail(#condition, __FILE__, __LINE__))

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
