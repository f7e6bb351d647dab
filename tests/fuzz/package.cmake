# The PE resource reader, seeded with a small series written by pelmora-pack
# and the MinGW-linked test libraries (PE32 and PE32+); crashes/ keeps the
# malformed libraries the reader must refuse.
pelmora_add_fuzzer(package
    SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/package_fuzz.cpp
    LIBS pelmora_platform
    CORPUS ${PROJECT_SOURCE_DIR}/tests/data/fuzz/package/seeds
           ${PROJECT_SOURCE_DIR}/tests/data/fuzz/package/crashes)

# libFuzzer steers by the coverage of the code under test, which lives in the
# platform library rather than in the target's own source.
if(PELMORA_FUZZ)
    target_compile_options(pelmora_platform PRIVATE -fsanitize=fuzzer-no-link)
endif()
