# The layout archive reader, seeded with shipped-style layouts and the
# encoding's rarer forms (long count, long tag, a class defined twice).
pelmora_add_fuzzer(layout
    SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/layout_fuzz.cpp
    LIBS pelmora_layout
    CORPUS ${PROJECT_SOURCE_DIR}/tests/data/fuzz/layout/seeds
           ${PROJECT_SOURCE_DIR}/tests/data/fuzz/layout/crashes)
