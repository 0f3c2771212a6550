// A libFuzzer program over one entry point of FuzzTargets.h (QUELMAR_FUZZ_ENTRY names it). Built with clang when
// QUELMAR_FUZZ is on; run for example:
//   build-fuzz/tests/fuzz_tablefile_payload -max_total_time=300 tests/fuzz/corpus/tablefile-payload
// and keep what it finds that breaks a reader in the corpus, so that tst_fuzz_corpus runs it from then on.
#include "fuzz/FuzzTargets.h"

#include <QGuiApplication>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzz::QUELMAR_FUZZ_ENTRY(data, size);
}
