#pragma once
// Entry points that feed one input to a reader of hostile data and through everything that then uses its result.
// They return 0 and must never crash, hang or read out of bounds, whatever the input. The fuzz programs (built with
// clang and libFuzzer when QUELMAR_FUZZ is on) call them with generated inputs; tst_fuzz_corpus calls them with the
// kept corpus in tests/fuzz/corpus on every test run. They need a QGuiApplication (fonts).

#include <cstddef>
#include <cstdint>

namespace fuzz {

// The input is a workbook payload: it is sealed into a table file (so that it passes the checks of the file layer
// and reaches the parser), read, and when it reads, its formulas are recalculated, every cell's display text is
// made and its first page is painted.
int TableFilePayload(const uint8_t* data, size_t size);
// The input is the bytes of a table file as found on disk (the file layer's own checks).
int TableFileBytes(const uint8_t* data, size_t size);
// The input is formula text (UTF-8): normalised, entered into a small sheet of values, recalculated, and copied to
// other cells (the engine rewrites its references).
int FormulaText(const uint8_t* data, size_t size);

}
