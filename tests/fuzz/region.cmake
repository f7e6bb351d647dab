# The RGNDATA reader and writer: whatever the reader accepts must survive a
# write and a second read unchanged.
pelmora_add_fuzzer(region
    SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/region_fuzz.cpp
    LIBS pelmora_platform
    CORPUS ${PROJECT_SOURCE_DIR}/tests/data/fuzz/region/seeds
           ${PROJECT_SOURCE_DIR}/tests/data/fuzz/region/crashes)
